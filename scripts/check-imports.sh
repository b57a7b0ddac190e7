#!/usr/bin/env bash
# Checks that an executable imports only DLLs on Windows' KnownDLLs list (the same on Windows 7 to 11), which the
# loader never searches for beside the program, and ntdll.dll, which every process has before anything is searched.
# Every other DLL is loaded at its first use from the system folder.
# Usage: check-imports.sh SETUP.EXE   Prints the imported DLLs; exit status 1 names any that is not allowed.
set -euo pipefail
exe="$1"
allowed="advapi32.dll gdi32.dll kernel32.dll msvcrt.dll ntdll.dll ole32.dll oleaut32.dll psapi.dll shell32.dll shlwapi.dll user32.dll"
# The i686 objdump reads the release (PE32), the x86_64 one the test build (PE32+).
headers=""
for objdump in i686-w64-mingw32-objdump x86_64-w64-mingw32-objdump objdump; do
    headers=$("$objdump" -p "$exe" 2>/dev/null) && break
done
imports=$(echo "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
echo "imports: $(echo $imports)"
[ -n "$imports" ] || { echo "FAIL: no import table read from $exe"; exit 1; }
unexpected=""
for dll in $imports; do
    [[ " $allowed " == *" $dll "* ]] || unexpected+=" $dll"
done
if [ -n "$unexpected" ]; then
    echo "FAIL: imports outside the KnownDLLs allow-list:$unexpected"
    exit 1
fi
