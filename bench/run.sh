#!/usr/bin/env bash
# Benchmarks: builds the `bench` preset (optimised), runs the in-process
# Google Benchmark program, then times whole processes side by side and
# prints every figure as a ratio to its limit from the same run.
#   bash bench/run.sh            ROUNDS=15 bash bench/run.sh
# Images go to KORVANTA_BENCH_DIR (default /tmp/korvanta-bench, about 1.4 GiB).
# Not part of the test command.
set -euo pipefail
cd "$(dirname "$0")/.."

rounds=${ROUNDS:-9}
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
