#!/usr/bin/env bash
# Runs every test: the native build, the sanitizer build, and the Windows build
# under Wine. Installs what it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc)

for preset in native sanitize; do
    echo "== $preset =="
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
    ctest --preset "$preset" -j "$jobs"
done

# Hostile inputs: each libFuzzer target (clang, ASan, UBSan) runs from its
# seeds for a bounded time (KORVANTA_FUZZ_SECONDS, default 60) and fails on
# any finding.
echo "== fuzz =="
bash fuzz/run.sh "${KORVANTA_FUZZ_SECONDS:-60}"

# Windows: the shipped 32-bit Korvanta.exe is checked as a file (PE i386, GUI
# subsystem, system DLLs only); its tests run under Wine in a private X server.
echo "== windows (32-bit, shipped) =="
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"
bash tests/wine/check-exe.sh i686-w64-mingw32-objdump build/windows/ui/Korvanta.exe i386

echo "== windows-x64 (64-bit twin, tests under wine64) =="
cmake --preset windows-x64 >/dev/null
cmake --build --preset windows-x64 -j "$jobs"
bash tests/wine/run-under-wine.sh build/windows-x64 ctest --preset windows-x64 -j "$jobs"

if bash tests/wine/can-run-32bit.sh; then
    echo "== windows-tests (32-bit tests under wine) =="
    cmake --preset windows-tests >/dev/null
    cmake --build --preset windows-tests -j "$jobs"
    bash tests/wine/run-under-wine.sh build/windows-tests ctest --preset windows-tests -j "$jobs"
else
    echo "This host cannot start 32-bit processes: the 32-bit build was checked as a file,"
    echo "and its 64-bit twin (windows-x64, the same sources) ran the Windows tests."
fi

# Packages as users get them: cmake --install (Linux) and the Windows zip.
bash scripts/check-packaging.sh
