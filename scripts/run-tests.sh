#!/usr/bin/env bash
# Runs the native and the Wine test tiers with ctest and prints one summary line:
# "tests: N passed, N failed" counting GoogleTest cases across both tiers.
set -uo pipefail
cd "$(dirname "$0")/.."

status=0
passed=0
failed=0
for preset in native mingw; do
  log="build/$preset/ctest.log"
  echo "== $preset tests"
  ctest --preset "$preset" 2>&1 | tee "$log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  # GoogleTest's own closing lines, one pair per test program.
  p=$(grep -ahoE '\[  PASSED  \] [0-9]+ test' "build/$preset/Testing/Temporary/LastTest.log" | awk '{s+=$4} END {print s+0}')
  f=$(grep -ahoE '\[  FAILED  \] [0-9]+ test' "build/$preset/Testing/Temporary/LastTest.log" | awk '{s+=$4} END {print s+0}')
  passed=$((passed + p)); failed=$((failed + f))
done
if [ "$status" -ne 0 ] && [ "$failed" -eq 0 ]; then failed=1; fi
echo "tests: $passed passed, $failed failed"
exit "$status"
