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

[ "$bad" -eq 0 ] && echo "layers: ${LAYERS[*]}; no include points up"
exit "$bad"
