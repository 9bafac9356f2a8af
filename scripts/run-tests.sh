#!/usr/bin/env bash
# Runs the native and the Wine test tiers with ctest, then builds the fuzz
# targets and runs each briefly (the fuzz preset's smoke tests), and prints one
# summary line: "tests: N passed, N failed". A GoogleTest program counts its
# cases; every other ctest test (script checks, fuzz smoke runs) counts as one.
set -uo pipefail
cd "$(dirname "$0")/.."

status=0
passed=0
failed=0

# Tallies one preset's ctest log: per test, GoogleTest's closing lines if it
# printed any, else ctest's own verdict.
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

for preset in native mingw fuzz; do
  if [ "$preset" = fuzz ]; then
    # The fuzz tree is not part of `make build`: built here, with clang.
    mkdir -p build/fuzz
    if ! { cmake --preset fuzz && cmake --build --preset fuzz -j "$(nproc)"; } >build/fuzz/build.log 2>&1; then
      cat build/fuzz/build.log
      echo "== fuzz build failed"
      status=1
      failed=$((failed + 1))
      continue
    fi
  fi
  echo "== $preset tests"
  ctest --preset "$preset" 2>&1 | tee "build/$preset/ctest.log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  read -r p f < <(tally "build/$preset/Testing/Temporary/LastTest.log")
  passed=$((passed + p)); failed=$((failed + f))
done
# A run that failed without a countable failure (a crash before any output) still says so.
if [ "$status" -ne 0 ] && [ "$failed" -eq 0 ]; then failed=1; fi
echo "tests: $passed passed, $failed failed"
exit "$status"
