#!/usr/bin/env bash
# `make fuzz`: runs each target (or those in FUZZ_TARGETS) for FUZZ_SECONDS from its seeds and the corpus
# of earlier runs (build/fuzz/corpus/), printing executions and findings. A finding stops libFuzzer, so the
# target starts again for the time left, at most 5 times; the inputs that stopped it are kept in
# build/fuzz/findings/<target>/ (reproduce: build/fuzz/fuzz/<target> <file>). Exits 1 on any finding.
set -uo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-300}
read -r -a targets <<<"${FUZZ_TARGETS:-archive_pass_fuzzer entry_parser_fuzzer text_grammar_fuzzer}"
report=$(printf '== fuzz summary (%ss per target; logs in build/fuzz/logs/)' "$seconds")
total_executions=0 total_findings=0
for target in "${targets[@]}"; do
  binary=build/fuzz/fuzz/$target log=build/fuzz/logs/$target.log
  [ -x "$binary" ] || { echo "fuzz: $binary is missing (cmake --build --preset fuzz)" >&2; exit 2; }
  mkdir -p "build/fuzz/corpus/$target" "build/fuzz/findings/$target" build/fuzz/logs
  options=(-timeout=120 -print_final_stats=1 "-artifact_prefix=build/fuzz/findings/$target/")
  [ -f "fuzz/dictionaries/$target.dict" ] && options+=("-dict=fuzz/dictionaries/$target.dict")
  executions=0 found=0 deadline=$((SECONDS + seconds))
  echo "== $target: ${seconds}s" | tee "$log"
  while [ "$SECONDS" -lt "$deadline" ] && [ "$found" -lt 5 ]; do
    "$binary" "${options[@]}" -max_total_time=$((deadline - SECONDS)) "build/fuzz/corpus/$target" \
      "fuzz/seeds/$target" >"$log.run" 2>&1
    status=$?
    cat "$log.run" >>"$log"
    runs=$(grep -aoE 'stat::number_of_executed_units: [0-9]+' "$log.run" | awk '{n = $2} END {print n + 0}')
    executions=$((executions + runs))
    [ "$status" -eq 0 ] && break
    found=$((found + 1))
    grep -aE 'ERROR:|SUMMARY:|check failed|Test unit written' "$log.run" | sed 's/^/   /' | head -6
  done
  rm -f "$log.run"
  line=$(printf '%-22s %12d executions  %d findings' "$target" "$executions" "$found")
  echo "$line"
  report+=$'\n'$line
  total_executions=$((total_executions + executions)) total_findings=$((total_findings + found))
done
echo "$report"
printf '%-22s %12d executions  %d findings\n' "total" "$total_executions" "$total_findings"
[ "$total_findings" -eq 0 ]
