#!/usr/bin/env bash
# Checks a Windows executable as shipped: PE for the given architecture (i386
# or x86-64), GUI subsystem, and only system DLLs imported, so it runs without
# any mingw runtime DLL beside it.
# Usage: check-exe.sh OBJDUMP EXE ARCH
set -euo pipefail
objdump=$1 exe=$2 arch=$3

headers=$("$objdump" -p "$exe")
failed=0

format=$(printf '%s\n' "$headers" | sed -n 's/.*file format \(pei-[a-z0-9-]*\).*/\1/p' | head -n1)
if [ "$format" != "pei-$arch" ]; then
    echo "FAIL: $exe is '$format', expected pei-$arch"
    failed=1
fi

subsystem=$(printf '%s\n' "$headers" | awk '/^Subsystem/ {print $2}')
if [ "$subsystem" != "00000002" ]; then
    echo "FAIL: subsystem $subsystem, expected 00000002 (Windows GUI)"
    failed=1
fi

# DLLs that every Windows installation has.
allowed='^(kernel32|user32|gdi32|comctl32|comdlg32|advapi32|shell32|ole32|msvcrt|ucrtbase|api-ms-win-[a-z0-9-]+)\.dll$'
dlls=$(printf '%s\n' "$headers" | awk '/DLL Name:/ {print tolower($3)}' | sort -u)
if [ -z "$dlls" ]; then
    echo "FAIL: no import table found"
    failed=1
fi
for dll in $dlls; do
    if [[ ! $dll =~ $allowed ]]; then
        echo "FAIL: imports $dll, which is not a system DLL"
        failed=1
    fi
done

if [ $failed -eq 0 ]; then
    echo "ok: $exe is pei-$arch, GUI subsystem, imports only:" $dlls
fi
exit $failed
