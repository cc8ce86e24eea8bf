#!/usr/bin/env bash
# Builds Korvanta.exe and starts it under Wine. With a display ($DISPLAY) the
# window opens there and stays until it is closed. Without one, a private X
# server shows it for a few seconds, a screenshot is saved under build/, and
# the window is closed through its close box.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

# The shipped program is 32-bit; a host that cannot start 32-bit processes
# runs its 64-bit twin, built from the same sources.
if bash tests/wine/can-run-32bit.sh; then
    preset=windows
    wine=/usr/bin/wine
else
    preset=windows-x64
    wine=/usr/lib/wine/wine64
    echo "This host cannot start 32-bit programs: running the 64-bit twin of Korvanta.exe."
fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)" --target Korvanta
exe="$PWD/build/$preset/ui/Korvanta.exe"

# The window starts in a folder holding copies of the sample images: the
# open-file dialog shows them at once, and saved blocks land there, not in samples/.
workdir="$PWD/build/$preset/run-files"
mkdir -p "$workdir"
cp samples/*.bin "$workdir/"

export WINEPREFIX="$PWD/build/$preset/wineprefix"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LANG=C.UTF-8

if [ -n "${DISPLAY:-}" ]; then
    bash tests/wine/prepare-prefix.sh
    echo "Starting $exe on $DISPLAY"
    cd "$workdir"
    exec "$wine" "$exe"
fi

shot="$PWD/build/$preset/run-screenshot.png"
echo "No display: showing the window on a private X server"
bash tests/wine/run-under-wine.sh "build/$preset" bash -c '
    wine=$1 exe=$2 shot=$3
    cd "$4"
    "$wine" "$exe" &
    pid=$!
    sleep 5
    import -window root "$shot"
    # Without /f, taskkill asks the window to close, as its close box does.
    "$wine" taskkill /im Korvanta.exe >/dev/null 2>&1 || true
    status=0
    wait "$pid" || status=$?
    echo "Korvanta.exe ended with exit code $status"
    echo "Screenshot: $shot"
' run "$wine" "$exe" "$shot"
