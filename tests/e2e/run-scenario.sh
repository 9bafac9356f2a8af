#!/usr/bin/env bash
# Runs one end-to-end scenario: the test program, limited to the scenario's
# tests, in a fresh copy of the template Wine prefix (scripts/wine-template.sh), with
# the system language of LOCALE, on a virtual display of its own.
#
#   run-scenario.sh TEST_PROGRAM NAME LOCALE GTEST_FILTER
#
# A crash ends the program at once instead of waiting in the debugger. A
# passing scenario's prefix is removed; a failing one's stays in wine/NAME.
# E2E_SCREEN sets the virtual screen (default 1024x768x24); SETUP_WINE_STATE the
# folder of the template, the prefixes and HOME (default: wine/ beside the program).
set -euo pipefail
source "$(dirname "$0")/../../scripts/wine-env.sh"

program=$(readlink -f "$1")
name=$2
locale=$3
filter=$4
state="${SETUP_WINE_STATE:-$(dirname "$program")/wine}"
prefix="$state/$name"
use_wine_for "$program"

mkdir -p "$state/home"
export HOME="$state/home"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d"

[ -z "${E2E_SCREENSHOTS:-}" ] || mkdir -p "$E2E_SCREENSHOTS"
template=$(bash "$(dirname "$0")/../../scripts/wine-template.sh" "$state")
# Wine names a prefix's server after the folder's device and inode, and a
# folder made again where one was just deleted often gets the same inode; a
# server left by a killed run (its processes hung) is ended first, so that it
# cannot meet this run.
[ ! -d "$prefix" ] || WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
rm -rf "$prefix"
cp -a "$template" "$prefix"
export WINEPREFIX="$prefix"

status=0
xvfb-run -a -n "${SETUP_XVFB_FIRST:-99}" -s "-screen 0 ${E2E_SCREEN:-1024x768x24}" bash -c \
  'env LC_ALL="$3" wine "$1" --gtest_filter="$2" --gtest_brief=1; status=$?; wineserver -k; exit $status' \
  _ "$program" "$filter" "$locale" || status=$?

if [ "$status" -eq 0 ]; then
  rm -rf "$prefix"
else
  echo "e2e $name: failed; its Wine prefix is kept in $prefix" >&2
fi
exit "$status"
