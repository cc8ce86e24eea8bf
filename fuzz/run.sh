#!/usr/bin/env bash
# Builds the fuzz preset and runs each libFuzzer target from its committed
# seeds for a bounded time; fails on any finding (crash, sanitizer report,
# failed check, leak, a unit over 30 s). Usage: fuzz/run.sh [SECONDS_PER_TARGET]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-${KORVANTA_FUZZ_SECONDS:-60}}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j 2

work=build/fuzz/run
rm -rf "$work"
mkdir -p "$work"
# The targets' scratch files: memory-backed where possible, removed afterwards.
scratch_root=/tmp
[ -w /dev/shm ] && scratch_root=/dev/shm
scratch=$(mktemp -d "$scratch_root/korvanta-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

status=0
for target in fuzz_image fuzz_cli; do
    corpus="$work/$target-corpus"
    artifacts="$work/$target-artifacts"
    mkdir -p "$corpus" "$artifacts"
    cp fuzz/corpus/$target/* "$corpus"/
    echo "== $target: $seconds s from $(ls fuzz/corpus/$target | wc -l) seeds =="
    log="$work/$target.log"
    # The seeds stay as committed; new inputs go to the work corpus only.
    if KORVANTA_FUZZ_SCRATCH="$scratch" build/fuzz/fuzz/$target "$corpus" \
        -max_total_time="$seconds" -max_len=16384 -timeout=30 -report_slow_units=30 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$artifacts/" >"$log" 2>&1; then
        rc=0
    else
        rc=$?
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    grep -E '^#[0-9]+ +DONE' "$log" | tail -n 1 || true
    echo "$target: ${runs:-?} executions, exit $rc"
    # Findings: crash-, leak-, timeout-, oom- inputs (a slow unit on a busy
    # machine is not one).
    findings=$(ls "$artifacts" | grep -v '^slow-unit-' || true)
    if [ "$rc" -ne 0 ] || [ -n "$findings" ]; then
        echo "$target FOUND A PROBLEM; inputs in $artifacts:"
        ls -l "$artifacts"
        tail -n 40 "$log"
        status=1
    fi
done
exit $status
