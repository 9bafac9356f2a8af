#!/usr/bin/env bash
# Points the load configuration entry of a linked image's data directory at its
# _load_config_used record, which the GNU linker leaves unset: without it the
# loader never reads the record's DependentLoadFlags.
#
#   set-load-config.sh IMAGE MAP     (MAP: the linker's -Map output for IMAGE)
#
# The entry's size is the record's through DependentLoadFlags (library_search.cpp):
# 56 bytes in a 32-bit image, 80 in a 64-bit one.
set -euo pipefail
image=$1 map=$2
u32() { od -An -tu4 -j"$2" -N4 "$1" | tr -d ' '; }
le32() { local v=$1 i; for i in 0 8 16 24; do printf "\\$(printf '%03o' $(((v >> i) & 255)))"; done; }

pe=$(u32 "$image" 60)
magic=$(od -An -tx2 -j$((pe + 24)) -N2 "$image" | tr -d ' ')
case $magic in
  010b) base=$(u32 "$image" $((pe + 52))) directory=$((pe + 24 + 96)) size=56 ;;
  020b) base=$(( $(u32 "$image" $((pe + 48))) + ($(u32 "$image" $((pe + 52))) << 32) )) directory=$((pe + 24 + 112)) size=80 ;;
  *) echo "set-load-config: $image is no PE image (optional header magic $magic)" >&2; exit 1 ;;
esac
address=$(awk '$2 == "_load_config_used" || $2 == "__load_config_used" { print $1; exit }' "$map")
[ -n "$address" ] || { echo "set-load-config: no _load_config_used in $map" >&2; exit 1; }
rva=$((address - base))
{ le32 $rva; le32 $size; } | dd of="$image" bs=1 seek=$((directory + 10 * 8)) conv=notrunc status=none
