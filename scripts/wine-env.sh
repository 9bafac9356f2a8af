# Sourced by the scripts that run Windows programs under Wine. Two builds run
# there: the shipped 32-bit one (build/mingw) and a 64-bit test build
# (build/mingw64) for hosts whose kernel cannot execute 32-bit x86 code. The
# stock `wine` starts the 32-bit loader whenever wine32 is installed, so a 64-bit
# program gets wine64 explicitly, and so does every process Wine starts for it.

wine_env_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# pe_machine FILE: the PE header's machine field, as 4 hex digits (014c i386, 8664 x86-64).
pe_machine() {
  local lfanew
  lfanew=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  od -An -tx2 -j$((lfanew + 4)) -N2 "$1" | tr -d ' '
}

# use_wine_for PROGRAM: points wine, wineboot and wineserver at the loader of PROGRAM's width.
use_wine_for() {
  if [ "$(pe_machine "$1")" = 8664 ]; then
    export PATH="$wine_env_dir/wine64:$PATH" WINELOADER=/usr/lib/wine/wine64 WINEARCH=win64
  fi
}

# host_runs_i386: runs the 32-bit Wine loader; on failure prints why (for example
# "Exec format error") and returns 1. Detected by running, not from names: the
# same kernel version may or may not have 32-bit user mode.
host_runs_i386() {
  local probe=/usr/lib/wine/wine out
  if out=$("$probe" --version 2>&1); then return 0; fi
  echo "$probe: ${out##*: }"
  return 1
}
