#!/usr/bin/env bash
# Runs every benchmark against the native build: each prints its figures as a table
# (medians, ratios against peers measured in the same run) and writes them as JSON to
# build/bench/NAME.json; build/bench/bench.json gathers them all.
# Each benchmark keeps its generated inputs in build/native/bench so reruns are quick.
set -euo pipefail
cd "$(dirname "$0")/.."
bench=build/native/bench
results=build/bench
mkdir -p "$results"

names=()
run() {
  local name=$1; shift
  local program=$bench/${name}_bench
  [ -x "$program" ] || { echo "bench: $program is missing; build the native preset first" >&2; exit 1; }
  echo
  "$program" "$bench" "$results/$name.json" "$@"
  names+=("$name")
}

echo "bench: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg); times are CPU seconds of the measured process" \
  "(the silent install: wall seconds)"
run decode
# The silent install runs the 64-bit setup.exe on every host, the 32-bit one only where the host runs i386 code.
source scripts/wine-env.sh
silent=(build/mingw64/setup.exe)
if why=$(host_runs_i386); then
  silent+=(build/mingw/setup.exe)
else
  echo "bench: no 32-bit silent install on this host: $why"
fi
run installer build/native/setupkit build/mingw/setup.exe "${silent[@]}"

{
  printf '{\n"date": "%s",\n"cores": %s,\n"benches": [\n' "$(date -u +%Y-%m-%dT%H:%M:%SZ)" "$(nproc)"
  for i in "${!names[@]}"; do
    [ "$i" -gt 0 ] && printf ',\n'
    cat "$results/${names[$i]}.json"
  done
  printf ']\n}\n'
} >"$results/bench.json"
echo
echo "bench: results in $results/bench.json"
