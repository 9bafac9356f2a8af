#!/usr/bin/env bash
# The layer check: every folder of src/ includes only its own headers and those
# of the folders below it, and nothing in src/ includes tools/. Prints each
# include that points up, as file:line, and exits 1 when there is one.
#
#   scripts/check-layers.sh [ROOT]     (ROOT: the tree to check, default this repo)
set -uo pipefail
root=${1:-$(dirname "$0")/..}

# The folders of src/, bottom up: the one place that holds their order.
# The program's own files directly in src/ stand above all of them.
LAYERS=(platform text archive ui install uninstall shell)

rank() {  # folder -> its position, or nothing for a folder that is no layer
  local i
  for i in "${!LAYERS[@]}"; do [ "${LAYERS[$i]}" = "$1" ] && echo "$i" && return; done
}

top=${#LAYERS[@]}
bad=0
while IFS= read -r -d '' file; do
  relative=${file#"$root"/src/}
  if [[ $relative == */* ]]; then
    own=$(rank "${relative%%/*}")
    if [ -z "$own" ]; then
      echo "$file: src/${relative%%/*} is no layer; add it to LAYERS in $0"
      bad=1
      continue
    fi
  else
    own=$top
  fi
  while IFS=: read -r line target; do
    folder=${target%%/*}
    used=$(rank "$folder")
    if [ -z "$used" ]; then
      echo "$file:$line: includes \"$target\", which is outside src/"
      bad=1
    elif [ "$used" -gt "$own" ]; then
      echo "$file:$line: includes \"$target\" of src/$folder, a layer above its own"
      bad=1
    fi
  done < <(awk 'match($0, /^[ \t]*#[ \t]*include[ \t]*"[^"]*\/[^"]*"/) {
                 target = substr($0, RSTART, RLENGTH); sub(/^[^"]*"/, "", target); sub(/"$/, "", target)
                 print FNR ":" target }' "$file")
done < <(find "$root/src" -type f \( -name '*.h' -o -name '*.cpp' \) -print0)

# The files of tools/setupkit, bottom up (docs/setupkit.md says what each
# group is); each includes only setupkit headers of files before it or its own.
TOOL_FILES=(exit_codes ansi_text system_error text_output file_io interrupt_cleanup
            stored_text entry_stream_writer stub_check product_files
            reading_pass install_simulation packer
            pack_warnings uninstaller inspector planner
            command_line pack_command commands main)

tool_rank() {  # base name -> its position, or nothing
  local i
  for i in "${!TOOL_FILES[@]}"; do [ "${TOOL_FILES[$i]}" = "$1" ] && echo "$i" && return; done
}

while IFS= read -r -d '' file; do
  base=$(basename "${file%.*}")
  own=$(tool_rank "$base")
  if [ -z "$own" ]; then
    echo "$file: not in TOOL_FILES; add it to $0"
    bad=1
    continue
  fi
  while IFS=: read -r line target; do
    used=$(tool_rank "$(basename "${target%.h}")")
    if [ -z "$used" ] || [ "$used" -gt "$own" ]; then
      echo "$file:$line: includes \"setupkit/$target\", a file above it"
      bad=1
    fi
  done < <(awk 'match($0, /^[ \t]*#[ \t]*include[ \t]*"setupkit\/[^"]*"/) {
                 target = substr($0, RSTART, RLENGTH); sub(/^[^"]*"setupkit\//, "", target); sub(/"$/, "", target)
                 print FNR ":" target }' "$file")
done < <(find "$root/tools/setupkit" -type f \( -name '*.h' -o -name '*.cpp' \) -print0)

[ "$bad" -eq 0 ] && echo "layers: ${LAYERS[*]}; setupkit: ${TOOL_FILES[*]}; no include points up"
exit "$bad"
