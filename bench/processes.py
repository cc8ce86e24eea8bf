#!/usr/bin/env python3
"""Whole-process timings of korvanta-cli beside the tools a Linux user would
pick instead, in one run: several rounds, the commands interleaved (their
order rotates each round), medians, each figure as a ratio to `cat` of the
same image from the same run. Then peak memory (/usr/bin/time -v) for 4 MiB
and 1 GiB images, and the in-process ratios from the Google Benchmark output.

Called by bench/run.sh, which builds the programs first.
"""
import argparse
import json
import os
import statistics
import subprocess
import sys
import time

MiB = 1024 * 1024


def sh(args, **kw):
    return subprocess.run(args, check=True, stdout=subprocess.PIPE, **kw).stdout


def make_image(maker, path, mib, extract_extent):
    if os.path.exists(path) and os.path.getsize(path) == mib * MiB:
        return
    sh([maker, "--model", "C", "--size", str(mib * MiB),
        "--extent", "maincodeC=%d" % extract_extent, path + ".part"])
    os.replace(path + ".part", path)


def block(cli, path, name):
    report = json.loads(sh([cli, "info", path, "--json"]))
    return next(b for b in report["blocks"] if b["name"] == name)


def timed(args, out=subprocess.DEVNULL):
    start = time.perf_counter()
    proc = subprocess.run(args, stdout=out, stderr=subprocess.DEVNULL)
    elapsed = time.perf_counter() - start
    return elapsed, proc.returncode


def peak_rss_kib(args):
    proc = subprocess.run(["/usr/bin/time", "-v"] + args, stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE, text=True)
    for line in proc.stderr.splitlines():
        if "Maximum resident set size" in line:
            return int(line.rsplit(":", 1)[1])
    raise RuntimeError("no peak memory from /usr/bin/time: " + proc.stderr[-300:])


def verdict(value, limit, lower_is_better=True):
    ok = value <= limit if lower_is_better else value >= limit
    return "meets" if ok else "MISSES"


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cli", required=True)
    ap.add_argument("--maker", required=True)
    ap.add_argument("--dir", required=True)
    ap.add_argument("--rounds", type=int, default=9)
    ap.add_argument("--bench-json", default="")
    a = ap.parse_args()

    os.makedirs(a.dir, exist_ok=True)
    out_dir = os.path.join(a.dir, "out")
    os.makedirs(out_dir, exist_ok=True)
    images = {}
    for mib in (4, 64, 1024):
        path = os.path.join(a.dir, "proc-%dMiB.bin" % mib)
        make_image(a.maker, path, mib, min(32 * MiB, mib * MiB // 2))
        images[mib] = path

    img = images[64]
    main_code = block(a.cli, img, "maincodeC")
    offset, extent = main_code["offset"], main_code["extent"]
    assert extent == 32 * MiB and offset + extent <= 64 * MiB, main_code
    dd_out = os.path.join(out_dir, "dd.bin")
    dd = ["dd", "if=" + img, "of=" + dd_out, "bs=1M", "iflag=skip_bytes,count_bytes",
          "skip=%d" % offset, "count=%d" % extent, "status=none"]
    commands = [
        ("cat", ["cat", img]),
        ("korvanta-cli info", [a.cli, "info", img]),
        ("grep -obUaP", ["grep", "-obUaP", r"\xE3\x00\x00\x10", img]),
        ("korvanta-cli extract (32 MiB)", [a.cli, "extract", img, "maincodeC", "-o", out_dir]),
        ("dd (32 MiB)", dd),
        ("dd conv=fsync (32 MiB)", dd[:-1] + ["conv=fsync", "status=none"]),
    ]
    env_c = dict(os.environ, LC_ALL="C")

    # Warm the page cache and check every command works and agrees.
    for _ in range(2):
        subprocess.run(["cat", img], stdout=subprocess.DEVNULL, check=True)
    grep_hits = subprocess.run(commands[2][1], stdout=subprocess.PIPE, env=env_c).stdout
    if not grep_hits.startswith(b"0:"):
        sys.exit("grep with LC_ALL=C did not find the bootloader word at 0: %r" % grep_hits[:80])
    sh(commands[3][1])
    sh(dd)
    with open(os.path.join(out_dir, "maincodeC.bin"), "rb") as f1, open(dd_out, "rb") as f2:
        if f1.read() != f2.read():
            sys.exit("korvanta-cli extract and dd copied different bytes")

    samples = {name: [] for name, _ in commands}
    for r in range(a.rounds):
        order = commands[r % len(commands):] + commands[:r % len(commands)]
        for name, args in order:
            start = time.perf_counter()
            proc = subprocess.run(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                  env=env_c if name.startswith("grep") else None)
            elapsed = time.perf_counter() - start
            if proc.returncode != 0:
                sys.exit("%s exited %d" % (name, proc.returncode))
            samples[name].append(elapsed)

    med = {name: statistics.median(v) for name, v in samples.items()}
    cat = med["cat"]
    print("Whole processes on a 64 MiB image in the page cache, %d rounds, medians:" % a.rounds)
    print("  %-30s %9s %9s %9s" % ("command", "median", "min", "x cat"))
    for name, _ in commands:
        print("  %-30s %7.2f ms %6.2f ms %8.2f" % (name, med[name] * 1e3, min(samples[name]) * 1e3,
                                                  med[name] / cat))
    info_vs_cat = med["korvanta-cli info"] / cat
    grep_vs_info = med["grep -obUaP"] / med["korvanta-cli info"]
    extract_vs_dd = med["korvanta-cli extract (32 MiB)"] / med["dd (32 MiB)"]
    extract_vs_dd_fsync = med["korvanta-cli extract (32 MiB)"] / med["dd conv=fsync (32 MiB)"]
    print("Targets:")
    print("  korvanta-cli info / cat            %5.2f  (target <= 1.30: %s)"
          % (info_vs_cat, verdict(info_vs_cat, 1.30)))
    print("  grep / korvanta-cli info           %5.2f  (target >= 2.00: %s)"
          % (grep_vs_info, verdict(grep_vs_info, 2.0, lower_is_better=False)))
    print("  korvanta-cli extract / dd          %5.2f  (target <= 1.20: %s)"
          % (extract_vs_dd, verdict(extract_vs_dd, 1.20)))
    print("  korvanta-cli extract / dd fsync    %5.2f  (reference: dd made as durable)"
          % extract_vs_dd_fsync)

    print("Peak memory (maximum resident set size):")
    peaks = {}
    for mib in (4, 1024):
        for name, args in (("cat", ["cat", images[mib]]),
                           ("korvanta-cli info", [a.cli, "info", images[mib]]),
                           ("korvanta-cli extract", [a.cli, "extract", images[mib], "maincodeC",
                                                     "-o", out_dir])):
            kib = peak_rss_kib(args)
            peaks[(name, mib)] = kib
            print("  %-22s %5d MiB image: %6d KiB" % (name, mib, kib))
    worst = max(v for (n, _), v in peaks.items() if n.startswith("korvanta"))
    flat = all(abs(peaks[(n, 1024)] - peaks[(n, 4)]) <= 512
               for n in ("korvanta-cli info", "korvanta-cli extract"))
    print("  korvanta-cli peak %.2f MiB (target < 8 MiB: %s); 4 MiB vs 1 GiB within 512 KiB: %s"
          % (worst / 1024, verdict(worst, 8 * 1024 - 1), "yes" if flat else "NO"))

    if a.bench_json and os.path.exists(a.bench_json):
        with open(a.bench_json) as f:
            data = json.load(f)
        medians = {}
        for b in data["benchmarks"]:
            if b.get("aggregate_name") == "median":
                medians[b["run_name"]] = b["real_time"]
        print("In process (Google Benchmark medians, ms):")
        for mib in (4, 64, 256):
            limit = medians.get("BM_ReadLimit/%d/real_time" % mib)
            one = medians.get("BM_SearchOneId/%d/real_time" % mib)
            cat_ = medians.get("BM_SearchCatalogue/%d/real_time" % mib)
            copy = medians.get("BM_CopyLimit/%d/real_time" % mib)
            ext = medians.get("BM_Extract/%d/real_time" % mib)
            if None in (limit, one, cat_, copy, ext):
                continue
            print("  %4d MiB: read limit %7.2f  one id %7.2f (x%.2f)  catalogue %7.2f (x%.2f)"
                  "  copy limit %7.2f  extract %7.2f (x%.2f)"
                  % (mib, limit, one, one / limit, cat_, cat_ / limit, copy, ext, ext / copy))
        limit = medians.get("BM_ReadLimit/64/real_time")
        one = medians.get("BM_SearchOneId/64/real_time")
        if limit and one:
            print("  one-id search / read limit at 64 MiB  %5.2f  (target <= 1.15: %s)"
                  % (one / limit, verdict(one / limit, 1.15)))


if __name__ == "__main__":
    main()
