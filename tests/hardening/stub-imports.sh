#!/usr/bin/env bash
# The DLLs setup.exe imports are loaded before any of its code runs, along a
# search path it cannot restrict yet: they must all be system DLLs (known DLLs,
# and COMCTL32, which the manifest takes from the side-by-side store). And the
# stub looks SetDefaultDllDirectories up at run time rather than importing it,
# so that it still starts on a system whose kernel32 lacks the call.
#
#   stub-imports.sh OBJDUMP STUB
set -euo pipefail

objdump=$1
stub=$2
allowed=" ADVAPI32.DLL COMCTL32.DLL GDI32.DLL KERNEL32.DLL MSVCRT.DLL OLE32.DLL SHELL32.DLL USER32.DLL "

dump=$("$objdump" -p "$stub")
imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump" | tr '[:lower:]' '[:upper:]' | sort -u)
[ -n "$imports" ] || { echo "stub-imports: no import table read from $stub" >&2; exit 1; }
status=0
for dll in $imports; do
  if [[ "$allowed" != *" $dll "* ]]; then
    echo "stub-imports: $stub imports $dll, which is not a system DLL of the allowed set:$allowed" >&2
    status=1
  fi
done
if grep -qw SetDefaultDllDirectories <<<"$dump"; then
  echo "stub-imports: $stub imports SetDefaultDllDirectories; it must look it up at run time" >&2
  status=1
fi
if ! LC_ALL=C grep -qa SetDefaultDllDirectories "$stub"; then
  echo "stub-imports: $stub does not name SetDefaultDllDirectories: the search path is not restricted" >&2
  status=1
fi
[ "$status" -ne 0 ] || echo "stub-imports: $(tr '\n' ' ' <<<"$imports")"
exit "$status"
