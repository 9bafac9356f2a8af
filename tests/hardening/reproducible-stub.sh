#!/usr/bin/env bash
# setup.exe is byte-reproducible: two clean builds of it (mingw preset, target setup) in build folders of
# different names give the same bytes as each other and as the tree's stub, so build paths, build times and
# link time stamps do not reach the image. WORK is emptied first and removed when the bytes agree.
set -euo pipefail
source=$1 work=$2 stub=$3
rm -rf "$work" && mkdir -p "$work"
for tree in "$work/one" "$work/a-second-clean-build"; do
  (cd "$source" && cmake --preset mingw -B "$tree" && cmake --build "$tree" --target setup -j "$(nproc)") >"$tree.log" 2>&1 ||
    { tail -n 40 "$tree.log"; echo "reproducible-stub: the clean build in $tree failed" >&2; exit 1; }
done
# cmp names the first byte that differs.
if cmp "$work/one/setup.exe" "$work/a-second-clean-build/setup.exe" && cmp "$work/one/setup.exe" "$stub"; then
  echo "reproducible-stub: setup.exe, $(stat -c %s "$stub") bytes, the same from two clean builds and the tree"
  rm -rf "$work"
else
  echo "reproducible-stub: the builds are kept in $work (a stale tree stub needs a rebuild first)" >&2
  exit 1
fi
