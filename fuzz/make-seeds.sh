#!/usr/bin/env bash
# Writes the fuzz targets' seed corpora into fuzz/seeds/<target>/ from small
# product trees packed by `setupkit pack` behind a minimal PE stub:
#   archive_pass_fuzzer   each installer from the payload search start on
#   entry_parser_fuzzer   chunk sizes followed by each installer's entry stream
#   text_grammar_fuzzer   a capacity byte followed by a description or language file
#   bounded_text_fuzzer   short operation programs
# Usage: fuzz/make-seeds.sh [path/to/setupkit]   (default build/native/setupkit)
# The seeds are committed; rerun this only when the formats change.
set -euo pipefail
cd "$(dirname "$0")/.."

setupkit=${1:-build/native/setupkit}
[ -x "$setupkit" ] || { echo "make-seeds: $setupkit not found (run make build)" >&2; exit 2; }
command -v xz >/dev/null || { echo "make-seeds: xz is needed to unpack the entry streams" >&2; exit 2; }

seeds=fuzz/seeds
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Writes bytes given as hex pairs ("4d 5a ...") at `offset` into `file`.
poke() {
  local file=$1 offset=$2
  shift 2
  local escaped=""
  for b in "$@"; do escaped+="\\x$b"; done
  printf "$escaped" | dd of="$file" bs=1 seek="$offset" conv=notrunc status=none
}

# The smallest PE image setupkit accepts as a stub: MZ, PE, i386 COFF header and
# a PE32 optional header with 16 empty data directories.
stub=$work/stub.exe
head -c 1024 /dev/zero >"$stub"
poke "$stub" 0 4d 5a
poke "$stub" 60 40 00 00 00
poke "$stub" 64 50 45 00 00 4c 01
poke "$stub" 84 e0 00
poke "$stub" 88 0b 01
poke "$stub" 180 10 00 00 00

mkdir -p "$work/basic/Lang" "$work/basic/bin" "$work/tiny" "$work/odd"
printf 'Hvx Tool Version 2.1 (c) 2024 Example\r\nA small tool.\r\n' >"$work/basic/FILE_ID.DIZ"
printf '[Language]\r\nLanguage=Deutsch (German)\r\nCode=DE\r\n' >"$work/basic/Lang/Tool_DE.LNG"
printf '\xff\xfe[\x00L\x00a\x00n\x00g\x00u\x00a\x00g\x00e\x00]\x00\r\x00\n\x00L\x00a\x00n\x00g\x00u\x00a\x00g\x00e\x00=\x00I\x00t\x00a\x00l\x00i\x00a\x00n\x00o\x00\r\x00\n\x00' \
  >"$work/basic/Lang/Tool_IT.LNG"
printf 'MZ\x90\x00tool tool tool tool tool\x00\x01\x02\x03' >"$work/basic/bin/tool.exe"
: >"$work/basic/empty"
printf 'x' >"$work/tiny/a"
printf 'Odd Product  \n' >"$work/odd/file_id.diz"
printf 'kept~' >"$work/odd/notes~"
LC_ALL=C awk 'BEGIN { for (i = 0; i < 600; i++) printf "%c", (i * 73 + i * i * 7 + 41) % 256 }' >"$work/odd/mixed.bin"

rm -rf "$seeds"
mkdir -p "$seeds"/{archive_pass_fuzzer,entry_parser_fuzzer,text_grammar_fuzzer,bounded_text_fuzzer}

for tree in basic tiny odd; do
  installer=$work/$tree.exe
  "$setupkit" pack --stub "$stub" --out "$installer" --product-code HVX --window-class HvxWindow \
    --main-program tool.exe --date 2024-05-01 --dict-size 4096 --from "$work/$tree" 2> >(grep -v "is no entry" >&2) >/dev/null
  # The fuzzer puts the input behind 89999 bytes of its own.
  tail -c +90000 "$installer" >"$seeds/archive_pass_fuzzer/$tree"

  # Container header (magic, properties, big-endian size) to the .lzma header xz reads.
  read -r -a header <<<"$(od -An -tx1 -j 89999 -N 13 "$installer" | tr '\n' ' ')"
  {
    printf "$(printf '\\x%s' "${header[@]:4:5}")"
    printf "$(printf '\\x%s' "${header[12]}" "${header[11]}" "${header[10]}" "${header[9]}" 00 00 00 00)"
    tail -c +90013 "$installer"
  } >"$work/$tree.lzma"
  xz --format=lzma --single-stream -dc "$work/$tree.lzma" >"$work/$tree.stream"
  { printf '\x00\x07'; cat "$work/$tree.stream"; } >"$seeds/entry_parser_fuzzer/$tree-by-7"
  { printf '\x03\x00\x01\x85\x05'; cat "$work/$tree.stream"; } >"$seeds/entry_parser_fuzzer/$tree-mixed"
done

{ printf '\xff'; cat "$work/basic/FILE_ID.DIZ"; } >"$seeds/text_grammar_fuzzer/description"
{ printf '\x0c'; cat "$work/odd/file_id.diz"; } >"$seeds/text_grammar_fuzzer/description-short"
{ printf '\xff'; cat "$work/basic/Lang/Tool_DE.LNG"; } >"$seeds/text_grammar_fuzzer/language-ansi"
{ printf '\x14'; cat "$work/basic/Lang/Tool_IT.LNG"; } >"$seeds/text_grammar_fuzzer/language-utf16"
printf '\xffL\x00a\x00n\x00g\x00\\\x00T\x00o\x00o\x00l\x00_\x00i\x00t\x00.\x00l\x00n\x00g\x00' \
  >"$seeds/text_grammar_fuzzer/entry-name"

# Bounded text steps: operation, flags, capacity byte, old length, source length,
# offset, then the old and source texts as unit indexes (twice: wide and narrow).
# Unit indexes: 0 a, 1 B, 2 \, 3 /, 4 blank, 5 :, 6 ., 7 t, 14 C.
step() {
  local op=$1 flags=$2 capacity=$3 old=$4 source=$5
  printf "$(printf '\\x%02x' "$op" "$flags" "$capacity" $((${#old} / 2)) $((${#source} / 2)) 1)"
  printf "$(printf '%s' "$old$source$old$source" | sed 's/../\\x&/g')"
}
{
  for op in $(seq 0 13); do step "$op" $((op % 2)) 10 0e0502000100 02010607; done
} >"$seeds/bounded_text_fuzzer/every-operation"
{
  for capacity in 0 1 2 3 5; do
    step 3 1 "$capacity" 0000 0101
    step 9 0 "$capacity" 0e05 0201
    step 2 1 "$capacity" 00 0809
  done
} >"$seeds/bounded_text_fuzzer/small-capacities"
{
  step 6 0 30 0e050200040204 00
  step 11 1 30 0e0502 00
  step 10 0 30 00040404 00
  step 8 1 7 0e050200 00
  step 13 0 30 0e050200020002 0200
} >"$seeds/bounded_text_fuzzer/paths"

du -b "$seeds"/*/* | sort -n | awk '{print "  " $2 " (" $1 " bytes)"}'
