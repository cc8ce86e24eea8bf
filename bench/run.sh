#!/usr/bin/env bash
# Benchmarks: builds the `bench` preset (optimised), runs the in-process
# Google Benchmark program, then times whole processes side by side and
# prints every figure as a ratio to its limit from the same run; last, the
# analysis work of the window's commands, natively and under Wine.
#   bash bench/run.sh            ROUNDS=15 bash bench/run.sh
#   SKIP_WINE=1 bash bench/run.sh   (no Windows build, no Wine)
# Images go to KORVANTA_BENCH_DIR (default /tmp/korvanta-bench, about 1.4 GiB).
# Not part of the test command.
set -euo pipefail
cd "$(dirname "$0")/.."

rounds=${ROUNDS:-11}
dir=${KORVANTA_BENCH_DIR:-/tmp/korvanta-bench}
export KORVANTA_BENCH_DIR=$dir
mkdir -p "$dir"

[ -x /usr/bin/time ] || { echo "/usr/bin/time is missing: bash scripts/install-deps.sh" >&2; exit 1; }

cmake --preset bench >/dev/null
cmake --build --preset bench -j 2 >/dev/null

echo "== machine =="
echo "nproc: $(nproc); $(lscpu | sed -n 's/^Model name: *//p'); $(free -m | awk '/^Mem:/ {print $2 " MiB memory"}')"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"

echo "== in process (Google Benchmark) =="
# Repetitions interleaved at random, so a burst of load elsewhere on the
# machine spreads over every benchmark instead of spoiling one.
build/bench/bench/korvanta_bench --benchmark_repetitions=15 --benchmark_min_time=0.1 \
    --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true \
    --benchmark_out="$dir/bench.json" --benchmark_out_format=json \
    2>/dev/null | grep -E '_median|^Benchmark' || true

echo "== whole processes =="
python3 bench/processes.py --cli build/bench/cli/korvanta-cli \
    --maker build/bench/tools/make_sample_image --dir "$dir" --rounds "$rounds" \
    --bench-json "$dir/bench.json"

echo "== the window's commands (analysis work per command, medians) =="
maker=build/bench/tools/make_sample_image
for mib in 2 4 8 16 64; do
    img="$dir/flash-${mib}MiB.bin"
    [ -f "$img" ] || "$maker" --model C --size $((mib * 1048576)) "$img"
done
mkdir -p "$dir/window-out"
echo "native:"
for mib in 2 4 8 16 64; do
    build/bench/bench/window_commands "$dir/flash-${mib}MiB.bin" 7 "$dir/window-out"
done

wine64=/usr/lib/wine/wine64
if [ -x "$wine64" ] && [ "${SKIP_WINE:-0}" != 1 ]; then
    # The 64-bit twin of the Windows build (this kernel cannot start 32-bit
    # programs), with a private Wine prefix that is stopped afterwards.
    winbuild=build/bench-win64
    cmake -S . -B "$winbuild" -DCMAKE_TOOLCHAIN_FILE=cmake/x86_64-w64-mingw32.cmake \
          -DCMAKE_BUILD_TYPE=Release -DKORVANTA_BENCH=ON -DBUILD_TESTING=OFF >/dev/null 2>&1
    cmake --build "$winbuild" -j 2 --target window_commands >/dev/null
    export WINEPREFIX="$PWD/$winbuild/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    [ -d "$WINEPREFIX" ] || "$wine64" wineboot -i >/dev/null 2>&1
    /usr/lib/wine/wineserver -p >/dev/null 2>&1 || true
    trap '/usr/lib/wine/wineserver -k >/dev/null 2>&1 || true' EXIT
    echo "under Wine (wine64, $winbuild):"
    for mib in 2 4 8 16 64; do
        "$wine64" "$winbuild/bench/window_commands.exe" "Z:$dir/flash-${mib}MiB.bin" 7 \
            "Z:$dir/window-out" | tr -d '\r'
    done
fi
