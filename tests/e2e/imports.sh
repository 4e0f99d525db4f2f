#!/usr/bin/env bash
# The program files import only DLLs that Windows loads from System32 whatever lies beside the
# program: the KnownDLLs, and comctl32, which the manifest binds to its side-by-side assembly.
# Every other DLL is loaded at run time from System32 by name.
#   imports.sh OBJDUMP PROGRAM.exe...
set -uo pipefail
objdump=$1 && shift
allowed=" kernel32.dll user32.dll gdi32.dll msvcrt.dll advapi32.dll shell32.dll ole32.dll
  oleaut32.dll shlwapi.dll comdlg32.dll ws2_32.dll setupapi.dll psapi.dll imm32.dll
  sechost.dll rpcrt4.dll combase.dll comctl32.dll "
allowed=${allowed//$'\n'/ }  # the last name on each line is matched by its following space too
status=0
for program in "$@"; do
    dlls=$("$objdump" -p "$program" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z')
    [ -n "$dlls" ] || { echo "$program: no import table read" >&2; status=1; }
    for dll in $dlls; do
        echo "$(basename "$program"): $dll"
        [[ "$allowed" == *" $dll "* ]] || { echo "  which a copy beside it could replace" >&2; status=1; }
    done
done
exit $status
