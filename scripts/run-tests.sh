#!/usr/bin/env bash
# Runs every test tier with ctest and prints which tiers ran and one summary
# line: "tests: N passed, N failed". A GoogleTest program counts its cases;
# every other ctest test (script checks, fuzz smoke runs) counts as one.
#
# Tiers: native (Linux); win64 (the Win32 tests and end-to-end scenarios on the
# 64-bit build under 64-bit Wine, on every host); win32 (the same on the shipped
# 32-bit build, where the host runs 32-bit code; elsewhere only its static checks,
# which need no Wine); fuzz (a short run of each fuzz target from its seeds).
set -uo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-env.sh

status=0
passed=0
failed=0
ran=()

# Tallies one ctest log: per test, GoogleTest's closing lines if it printed any,
# else ctest's own verdict.
tally() {
  awk '
    /^[0-9]+\/[0-9]+ Testing: / { gp = 0; gf = 0; g = 0 }
    /\[  PASSED  \] [0-9]+ test/ { for (i = 1; i <= NF; i++) if ($i ~ /^[0-9]+$/) { gp += $i; break }; g = 1 }
    /\[  FAILED  \] [0-9]+ test/ { for (i = 1; i <= NF; i++) if ($i ~ /^[0-9]+$/) { gf += $i; break }; g = 1 }
    /^Test Passed\./ { if (g) { p += gp; f += gf } else p += 1 }
    /^Test Failed\./ { if (g) { p += gp; f += (gf > 0 ? gf : 1) } else f += 1 }
    END { print p + 0, f + 0 }
  ' "$1"
}

# tier NAME PRESET [ctest arguments]
tier() {
  local name=$1 preset=$2 p f
  shift 2
  echo "== $name tier (build/$preset)"
  ctest --preset "$preset" "$@" 2>&1 | tee "build/$preset/ctest.log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  read -r p f < <(tally "build/$preset/Testing/Temporary/LastTest.log")
  passed=$((passed + p)); failed=$((failed + f))
  ran+=("$name")
}

tier native native
tier win64 mingw64
if why=$(host_runs_i386); then
  tier win32 mingw
else
  echo "32-bit tier skipped: this host cannot run 32-bit code ($why)"
  # What needs no Wine still runs on the shipped stub: its format, imports, magic, resources, reproducibility.
  tier "win32-static" mingw -L static
fi

# The fuzz tree is not part of `make build`: built here, with clang.
mkdir -p build/fuzz
if { cmake --preset fuzz && cmake --build --preset fuzz -j "$(nproc)"; } >build/fuzz/build.log 2>&1; then
  tier fuzz fuzz
else
  cat build/fuzz/build.log
  echo "== fuzz build failed"
  status=1
  failed=$((failed + 1))
fi

# A run that failed without a countable failure (a crash before any output) still says so.
if [ "$status" -ne 0 ] && [ "$failed" -eq 0 ]; then failed=1; fi
echo "tiers run: ${ran[*]}"
echo "tests: $passed passed, $failed failed"
exit "$status"
