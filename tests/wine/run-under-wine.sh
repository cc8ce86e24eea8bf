#!/usr/bin/env bash
# Runs a command (normally ctest) with a private X server and a Wine prefix,
# both kept inside the build folder and both stopped when the command ends,
# pass or fail.
#
# Usage: run-under-wine.sh BUILD_DIR COMMAND [ARGS...]
#
# Exports DISPLAY, WINEPREFIX (BUILD_DIR/wineprefix), WINEDEBUG, WINEDLLOVERRIDES,
# LANG and KORVANTA_SCREENSHOT_DIR (BUILD_DIR/screenshots): a test that writes
# NAME.request there gets NAME.png, a screenshot of the whole screen.
set -euo pipefail

build_dir=$(cd "$1" && pwd)
shift

wine64=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64

export WINEPREFIX="$build_dir/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=C.UTF-8
export KORVANTA_SCREENSHOT_DIR="$build_dir/screenshots"
mkdir -p "$KORVANTA_SCREENSHOT_DIR"

xvfb_pid=
watcher_pid=
server_started=
cleanup() {
    local status=$?
    if [ -n "$watcher_pid" ]; then kill "$watcher_pid" 2>/dev/null || true; wait "$watcher_pid" 2>/dev/null || true; fi
    if [ -n "$server_started" ]; then
        "$wineserver" -k 2>/dev/null || true
        "$wineserver" -w 2>/dev/null || true
    fi
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
    exit $status
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A free display: the first number with neither a socket nor a lock file whose
# server then stays up (another user may grab the same number at the same time).
for display in $(seq 90 140); do
    [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ] && continue
    Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do
        [ -e "/tmp/.X11-unix/X$display" ] && break
        kill -0 "$xvfb_pid" 2>/dev/null || break
        sleep 0.05
    done
    if kill -0 "$xvfb_pid" 2>/dev/null && [ -e "/tmp/.X11-unix/X$display" ]; then
        export DISPLAY=":$display"
        break
    fi
    wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=
done
if [ -z "$xvfb_pid" ]; then
    echo "run-under-wine: no free X display found" >&2
    exit 1
fi
echo "run-under-wine: Xvfb on $DISPLAY (pid $xvfb_pid), prefix $WINEPREFIX"

# A new prefix once per build folder (its own server stops when it is ready).
server_started=1
bash "$(dirname "$0")/prepare-prefix.sh"

# The server runs before the command, so tests do not start (and wait for) their own.
"$wineserver" -p
server_started=1
"$wine64" cmd /c exit >/dev/null 2>&1 || true

# Screenshots on request, taken with ImageMagick from the X server.
(
    while true; do
        for request in "$KORVANTA_SCREENSHOT_DIR"/*.request; do
            [ -e "$request" ] || continue
            name=${request%.request}
            import -window root "$name.tmp.png" 2>/dev/null && mv -f "$name.tmp.png" "$name.png"
            rm -f "$request"
        done
        sleep 0.05
    done
) &
watcher_pid=$!

set +e
"$@"
status=$?
set -e
exit $status
