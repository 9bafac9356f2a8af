#!/usr/bin/env bash
# `make fuzz`: runs each fuzz target for FUZZ_SECONDS (default 300) from its
# committed seeds plus the corpus earlier runs left in build/fuzz/corpus/, and
# prints executions and findings per target. A finding stops libFuzzer, so the
# target is started again for the time left (at most 5 times); the inputs that
# stopped it are kept in build/fuzz/findings/<target>/ and reproduce with
#   build/fuzz/fuzz/<target> build/fuzz/findings/<target>/<file>
# FUZZ_TARGETS="a b" limits the run to some targets. Exits 1 on any finding.
set -uo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-300}
targets=(archive_pass_fuzzer entry_parser_fuzzer text_grammar_fuzzer bounded_text_fuzzer)
if [ -n "${FUZZ_TARGETS:-}" ]; then read -r -a targets <<<"$FUZZ_TARGETS"; fi

common=(-timeout=120 -print_final_stats=1)

total_executions=0
total_findings=0
report=()
for target in "${targets[@]}"; do
  binary=build/fuzz/fuzz/$target
  [ -x "$binary" ] || { echo "fuzz: $binary is missing (cmake --build --preset fuzz)" >&2; exit 2; }
  corpus=build/fuzz/corpus/$target
  findings=build/fuzz/findings/$target
  log=build/fuzz/logs/$target.log
  mkdir -p "$corpus" "$findings" "$(dirname "$log")"
  : >"$log"
  options=("${common[@]}" "-artifact_prefix=$findings/")
  [ -f "fuzz/dictionaries/$target.dict" ] && options+=("-dict=fuzz/dictionaries/$target.dict")

  executions=0
  found=0
  deadline=$((SECONDS + seconds))
  echo "== $target: ${seconds}s"
  while remaining=$((deadline - SECONDS)); [ "$remaining" -gt 0 ]; do
    "$binary" "${options[@]}" -max_total_time="$remaining" "$corpus" "fuzz/seeds/$target" >"$log.run" 2>&1
    status=$?
    cat "$log.run" >>"$log"
    runs=$(grep -aoE 'stat::number_of_executed_units: [0-9]+' "$log.run" | awk '{print $2}' | tail -1)
    executions=$((executions + ${runs:-0}))
    [ "$status" -eq 0 ] && break
    found=$((found + 1))
    grep -aE 'ERROR:|SUMMARY:|check failed|Test unit written' "$log.run" | sed 's/^/   /' | head -6
    [ "$found" -ge 5 ] && break
  done
  rm -f "$log.run"
  line=$(printf '%-22s %12d executions  %d findings' "$target" "$executions" "$found")
  echo "$line"
  report+=("$line")
  total_executions=$((total_executions + executions))
  total_findings=$((total_findings + found))
done

echo "== fuzz summary (${seconds}s per target; logs in build/fuzz/logs/)"
printf '%s\n' "${report[@]}"
printf '%-22s %12d executions  %d findings\n' "total" "$total_executions" "$total_findings"
[ "$total_findings" -eq 0 ]
