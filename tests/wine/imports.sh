#!/bin/sh
# Fails when a Windows program needs a DLL that Windows does not ship, so
# that the .exe runs on its own, copied anywhere.
# usage: imports.sh OBJDUMP PROGRAM...
set -eu
objdump=$1
shift
status=0
for program in "$@"; do
    dlls=$("$objdump" -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p')
    [ -n "$dlls" ] || { echo "$program: no imports read" >&2; status=1; }
    for dll in $dlls; do
        case $(echo "$dll" | tr '[:upper:]' '[:lower:]') in
        kernel32.dll | user32.dll | advapi32.dll | shell32.dll | ole32.dll | msvcrt.dll | \
            ntdll.dll | gdi32.dll | comctl32.dll | comdlg32.dll | api-ms-win-*.dll) ;;
        *) echo "$program needs $dll, which Windows does not ship" >&2; status=1 ;;
        esac
    done
    echo "$program:" $dlls
done
exit $status
