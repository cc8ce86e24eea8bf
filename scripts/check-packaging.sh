#!/usr/bin/env bash
# Tries the packages the way users get them: `cmake --install` of the native
# build into a scratch prefix (then runs the installed korvanta-cli), and
# `cpack -G ZIP` of the 32-bit Windows build (then lists the zip and checks it
# holds exactly the two programs and the readme).
# Expects build/native to be built already; builds the `windows` preset (or the
# folder named by KORVANTA_WINDOWS_BUILD).
set -euo pipefail
cd "$(dirname "$0")/.."

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

echo "== packaging: cmake --install (native) =="
cmake --install build/native --prefix "$scratch/prefix" >/dev/null
installed="$scratch/prefix/bin/korvanta-cli"
[ -x "$installed" ] || { echo "korvanta-cli is not in bin/ after cmake --install" >&2; exit 1; }
"$installed" --version
"$installed" info samples/ali3329c.bin --json >"$scratch/info.json"
python3 -c 'import json,sys; r=json.load(open(sys.argv[1])); assert r["status"]=="ok" and r["board"]["name"]=="ALI-3329C", r' "$scratch/info.json"
echo "installed $installed runs"

echo "== packaging: cpack -G ZIP (windows) =="
if [ -n "${KORVANTA_WINDOWS_BUILD:-}" ]; then
    # An already configured 32-bit build folder, e.g. while trying this script.
    windows_build=$KORVANTA_WINDOWS_BUILD
    cmake --build "$windows_build" -j "$(nproc)" >/dev/null
elif cmake --list-presets 2>/dev/null | grep -q '"windows"'; then
    cmake --preset windows >/dev/null
    cmake --build --preset windows -j "$(nproc)" >/dev/null
    windows_build=build/windows
else
    # The Windows presets are not there: the same 32-bit toolchain by hand.
    windows_build=build/package-windows
    cmake -S . -B "$windows_build" -DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32.cmake \
          -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
    cmake --build "$windows_build" -j "$(nproc)" >/dev/null
fi
(cd "$windows_build" && cpack -G ZIP -B "$scratch/package" >/dev/null)
zips=("$scratch"/package/*.zip)
[ ${#zips[@]} -eq 1 ] && [ -f "${zips[0]}" ] || { echo "cpack made ${#zips[@]} zips" >&2; exit 1; }
python3 - "${zips[0]}" <<'PY'
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
names = sorted(n.split("/", 1)[1] for n in z.namelist() if not n.endswith("/"))
print("%s:" % sys.argv[1].rsplit("/", 1)[1])
for info in z.infolist():
    print("  %9d  %s" % (info.file_size, info.filename))
want = ["Korvanta.exe", "README.txt", "korvanta-cli.exe"]
if names != want:
    sys.exit("the zip holds %s, expected %s" % (names, want))
for exe in ("Korvanta.exe", "korvanta-cli.exe"):
    data = z.read(next(n for n in z.namelist() if n.endswith("/" + exe)))
    pe = int.from_bytes(data[0x3C:0x40], "little")
    if data[:2] != b"MZ" or data[pe:pe + 4] != b"PE\0\0" or data[pe + 4:pe + 6] != b"\x4c\x01":
        sys.exit("%s is not a 32-bit (i386) PE program" % exe)
PY
