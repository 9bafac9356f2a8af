#!/usr/bin/env bash
# Runs one cross-built Windows program under Wine, for ctest and the Makefile.
# The Wine prefix and HOME live in the build folder that holds the program, so
# nothing a test writes (registry, shortcuts, Desktop) reaches the user's own.
# The prefix is made once per build folder; a virtual display is started per run.
# A 64-bit program runs under 64-bit Wine (scripts/wine-env.sh). With SETUP_WINE_DPI
# (144, 192, ...) the program runs in a prefix of its own whose screen has that DPI:
# the LogPixels setting, which Wine reads when a program starts. SETUP_WINE_STATE
# moves the prefixes and HOME to another folder (the mutation check gives each
# fault a fresh one, so that what one fault leaves behind cannot fail the next);
# SETUP_XVFB_FIRST the first display number tried (xvfb-run -a picks a free one by
# looking, so runs started side by side get ranges of their own).
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"

exe=$(readlink -f "$1"); shift
build=$(dirname "$exe")
while [ "$build" != / ] && [ ! -f "$build/CMakeCache.txt" ]; do build=$(dirname "$build"); done
[ "$build" != / ] || { echo "wine-run: $exe is not inside a build folder" >&2; exit 2; }

use_wine_for "$exe"
state="${SETUP_WINE_STATE:-$build/wine}"
mkdir -p "$state/home"
export HOME="$state/home"
export WINEPREFIX="${SETUP_WINEPREFIX:-$state/prefix${SETUP_WINE_DPI:+-dpi$SETUP_WINE_DPI}}"
export WINEDEBUG=-all
# winemenubuilder reads every link a test writes into the Start menu and can hold it open while
# the test removes it (no test needs desktop menu entries); a crash ends the test at once
# instead of waiting in the debugger.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d"

make_prefix() {
  # Wine links Desktop, Documents and the like to $HOME; HOME is ours, so they stay in the build folder.
  wineboot -i >/dev/null 2>&1
  # Xvfb has no window manager: unmanaged windows are hidden and destroyed without a 2 s stall.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  if [ -n "${SETUP_WINE_DPI:-}" ]; then
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$SETUP_WINE_DPI" /f >/dev/null 2>&1
  fi
  wineserver -w
  touch "$WINEPREFIX/.ready"
}

(
  flock 9
  [ -f "$WINEPREFIX/.ready" ] || make_prefix
) 9>"$state/.lock"

exec xvfb-run -a -n "${SETUP_XVFB_FIRST:-99}" -s '-screen 0 1024x768x24' wine "$exe" "$@"
