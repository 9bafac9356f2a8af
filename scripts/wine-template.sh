#!/usr/bin/env bash
# Makes the template Wine prefix that end-to-end scenarios and `make demo` copy,
# once per folder: wine-template.sh STATE prints STATE/template once it exists.
#
# Windows are unmanaged (Xvfb has no window manager, and a managed window
# stalls about 2 s each time it hides); the user folders that Wine links to
# $HOME become plain folders, so shortcuts stay inside each copy. The caller
# exports HOME, WINEDEBUG and WINEDLLOVERRIDES (see run-scenario.sh).
set -euo pipefail

state=$1
template="$state/template"
mkdir -p "$state"

make_template() {
  rm -rf "$template"
  WINEPREFIX="$template" wineboot -i >/dev/null 2>&1
  WINEPREFIX="$template" wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  WINEPREFIX="$template" wineserver -w
  local link
  find "$template/drive_c/users" -mindepth 2 -maxdepth 2 -type l -print0 | while IFS= read -r -d '' link; do
    rm "$link" && mkdir "$link"
  done
  touch "$template/.ready"
}

(
  flock 9
  [ -f "$template/.ready" ] || make_template
) 9>"$state/.lock"
echo "$template"
