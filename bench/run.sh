#!/usr/bin/env bash
# Runs every benchmark against the native build, one line per figure.
# Each benchmark keeps its generated inputs in build/native/bench so reruns are quick.
set -euo pipefail
cd "$(dirname "$0")/.."
bench=build/native/bench

run() {
  local program=$bench/$1; shift
  [ -x "$program" ] || { echo "bench: $program is missing; build the native preset first" >&2; exit 1; }
  "$program" "$@"
}

run decode_bench "$bench"
