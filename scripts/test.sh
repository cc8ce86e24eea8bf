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

# Packages as users get them: cmake --install (Linux) and the Windows zip.
bash scripts/check-packaging.sh
