#!/usr/bin/env bash
# The DLLs setup.exe imports are loaded before any of its code runs, along a search path it cannot restrict
# yet: they must all be system DLLs (known DLLs, and COMCTL32, which the manifest takes from the side-by-side
# store) whose own imports the system resolves from its folder, so not SHELL32 (its SHCORE is searched for
# beside the program where it is no known DLL). SetDefaultDllDirectories is looked up at run time, not
# imported, so that the stub still starts on a system whose kernel32 lacks it. The load configuration asks
# for the system folder only (DependentLoadFlags 0x800), and the directory entry points at it whole.
set -euo pipefail
objdump=$1 stub=$2
fail() { echo "stub-imports: $*" >&2; exit 1; }
dump=$("$objdump" -p "$stub")
imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump" | tr '[:lower:]' '[:upper:]' | sort -u | tr '\n' ' ')
allowed="ADVAPI32.DLL COMCTL32.DLL GDI32.DLL KERNEL32.DLL MSVCRT.DLL OLE32.DLL USER32.DLL "
others=$(tr ' ' '\n' <<<"$imports" | grep -vxF -f <(tr ' ' '\n' <<<"$allowed" | grep .) | tr '\n' ' ' || true)
[ -n "$imports" ] || fail "no import table read from $stub"
[ -z "${others// /}" ] || fail "$stub imports $others, not of the allowed system DLLs $allowed"
! grep -qw SetDefaultDllDirectories <<<"$dump" || fail "SetDefaultDllDirectories is imported"
LC_ALL=C grep -qa SetDefaultDllDirectories "$stub" || fail "$stub does not look SetDefaultDllDirectories up"

base=$(awk '$1 == "ImageBase" { print $2 }' <<<"$dump")
read -r rva size < <(awk '$1 == "Entry" && $2 == "a" { print $3, $4 }' <<<"$dump")
[ $((16#$rva)) -ne 0 ] || fail "$stub has no load configuration directory"
# Bytes of the record at offset, little-endian, as one hex number.
field() {
  local start=$((16#$base + 16#$rva + $1))
  "$objdump" -s --start-address=$start --stop-address=$((start + $2)) "$stub" |
    awk 'NR > 4 { print $2 }' | head -1 | sed 's/\(..\)/\1 /g' | awk '{ for (i = NF; i > 0; --i) printf "%s", $i }'
}
# DependentLoadFlags sits behind the 16-bit CSDVersion, at 54 in a 32-bit record and 78 in a 64-bit one.
[ "$((16#$size))" -eq 56 ] && flags_at=54 || flags_at=78
[ "$((16#$(field 0 4)))" -eq "$((16#$size))" ] || fail "the load configuration's size $(field 0 4) is not the entry's $size"
[ "$(field $flags_at 2)" = 0800 ] || fail "DependentLoadFlags is $(field $flags_at 2), not 0800 (system folder only)"
echo "stub-imports: $imports; DependentLoadFlags 0800"
