#!/usr/bin/env bash
# Makes the Wine prefix $WINEPREFIX once: a virtual desktop stands in for a
# missing window manager (otherwise each closing window costs two seconds), and
# a crash ends the process at once instead of waiting in a dialog. Leaves no
# Wine server running.
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX must name the prefix folder}"
wine64=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64

[ -f "$WINEPREFIX/.korvanta-ready" ] && exit 0
rm -rf "$WINEPREFIX"
"$wine64" wineboot -i >/dev/null 2>&1 || true
"$wine64" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
"$wine64" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
"$wine64" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
"$wineserver" -w
touch "$WINEPREFIX/.korvanta-ready"
