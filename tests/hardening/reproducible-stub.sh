#!/usr/bin/env bash
# setup.exe and uninst.exe are byte-reproducible: two clean builds of them (PRESET, mingw or mingw64; targets
# setup and uninst) in build folders of different names give the same bytes as each other and as the tree's programs
# (uninst.exe beside the stub), so build paths, build times and link time stamps do not reach the images.
# WORK is emptied first and removed when the bytes agree.
set -euo pipefail
source=$1 work=$2 stub=$3 preset=$4
rm -rf "$work" && mkdir -p "$work"
for tree in "$work/one" "$work/a-second-clean-build"; do
  (cd "$source" && cmake --preset "$preset" -B "$tree" && cmake --build "$tree" --target setup uninst -j "$(nproc)") >"$tree.log" 2>&1 ||
    { tail -n 40 "$tree.log"; echo "reproducible-stub: the clean build in $tree failed" >&2; exit 1; }
done
# cmp names the first byte that differs.
for program in setup.exe uninst.exe; do
  tree="$(dirname "$stub")/$program"
  if cmp "$work/one/$program" "$work/a-second-clean-build/$program" && cmp "$work/one/$program" "$tree"; then
    echo "reproducible-stub: $program, $(stat -c %s "$tree") bytes, the same from two clean builds and the tree"
  else
    echo "reproducible-stub: the builds are kept in $work (a stale tree program needs a rebuild first)" >&2
    exit 1
  fi
done
rm -rf "$work"
