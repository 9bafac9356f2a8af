#!/usr/bin/env bash
# setup.exe is byte-reproducible: two clean builds of it, in fresh build
# folders of different names (the mingw preset, target `setup` only), give the
# same bytes as each other and as the stub of the tree under test. Build
# folder paths, build times and link time stamps must not reach the image.
#
#   reproducible-stub.sh SOURCE WORK STUB
# WORK is emptied first and removed when the bytes agree.
set -euo pipefail

source=$1
work=$2
stub=$3

rm -rf "$work"
mkdir -p "$work"
started=$SECONDS

build() {
  local tree=$1
  if ! (cd "$source" && cmake --preset mingw -B "$tree" && cmake --build "$tree" --target setup -j "$(nproc)") \
       >"$tree.log" 2>&1; then
    tail -n 40 "$tree.log"
    echo "reproducible-stub: the clean build in $tree failed" >&2
    exit 1
  fi
}

# The first bytes that differ, as offsets and octal values.
differences() {
  local listing
  listing=$(cmp -l "$1" "$2" 2>/dev/null || true)
  head -n 8 <<<"$listing" | awk '{ printf "  offset %d: %s against %s\n", $1 - 1, $2, $3 }'
  echo "  ($(wc -l <<<"$listing") bytes differ; sizes $(stat -c %s "$1") and $(stat -c %s "$2"))"
}

first="$work/one"
second="$work/a-second-clean-build"
build "$first"
build "$second"

status=0
for other in "$second/setup.exe" "$stub"; do
  if ! cmp -s "$first/setup.exe" "$other"; then
    echo "reproducible-stub: $first/setup.exe and $other differ:" >&2
    differences "$first/setup.exe" "$other" >&2
    status=1
  fi
done
if [ "$status" -eq 0 ]; then
  echo "reproducible-stub: setup.exe, $(stat -c %s "$stub") bytes, the same from two clean builds and the tree" \
       "($((SECONDS - started)) s)"
  rm -rf "$work"
else
  echo "reproducible-stub: the builds are kept in $work (a stale tree stub needs a rebuild first)" >&2
fi
exit "$status"
