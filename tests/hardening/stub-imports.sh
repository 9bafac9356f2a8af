#!/usr/bin/env bash
# The DLLs setup.exe imports are loaded before any of its code runs, along a search path it cannot restrict
# yet: they must all be system DLLs (known DLLs, and COMCTL32, which the manifest takes from the side-by-side
# store). SetDefaultDllDirectories is looked up at run time, not imported, so that the stub still starts on
# a system whose kernel32 lacks it.
set -euo pipefail
objdump=$1 stub=$2
dump=$("$objdump" -p "$stub")
imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump" | tr '[:lower:]' '[:upper:]' | sort -u | tr '\n' ' ')
allowed="ADVAPI32.DLL COMCTL32.DLL GDI32.DLL KERNEL32.DLL MSVCRT.DLL OLE32.DLL SHELL32.DLL USER32.DLL "
others=$(tr ' ' '\n' <<<"$imports" | grep -vxF -f <(tr ' ' '\n' <<<"$allowed" | grep .) | tr '\n' ' ' || true)
[ -n "$imports" ] || { echo "stub-imports: no import table read from $stub" >&2; exit 1; }
[ -z "${others// /}" ] || { echo "stub-imports: $stub imports $others, not of the allowed system DLLs $allowed" >&2; exit 1; }
! grep -qw SetDefaultDllDirectories <<<"$dump" || { echo "stub-imports: SetDefaultDllDirectories is imported" >&2; exit 1; }
LC_ALL=C grep -qa SetDefaultDllDirectories "$stub" || { echo "stub-imports: $stub does not look SetDefaultDllDirectories up" >&2; exit 1; }
echo "stub-imports: $imports"
