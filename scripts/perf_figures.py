#!/usr/bin/env python3
"""Runs the performance benchmarks side by side and prints their medians.

    scripts/perf_figures.py [--bin build/bench/bin] [--before OTHER/bin]
                            [--repetitions 10] [--rounds 3]

Every benchmark runs with interleaved repetitions; with --before, the same
benchmarks of another build (an older commit, say) run in the same session,
alternating round by round with this build's, so both sides see the same
machine. The table gives the median CPU time of each benchmark over all
rounds, and the ratios the performance goals are stated in.
"""
import argparse
import json
import os
import statistics
import subprocess
import sys

# (executable, filter) pairs; bench_game reads the WAV files next to it.
# Start-up runs in a process of its own: after another benchmark has grown
# the heap it would find memory already mapped, which a new process does not.
BENCHES = [
    ("bench_device", "BM_GameFrame/(device|pixman|sdl_software)$|BM_Sprites"),
    ("bench_game", "BM_Startup"),
    ("bench_game", "BM_Tick"),
    ("bench_textures", "."),
    ("bench_resample", "."),
    ("bench_sound", "."),
]

# Ratios: (label, numerator, denominator).
RATIOS = [
    ("game frame: device / pixman", "BM_GameFrame/device", "BM_GameFrame/pixman"),
    ("game frame: device / SDL software", "BM_GameFrame/device", "BM_GameFrame/sdl_software"),
    ("100 sprites: device / pixman", "BM_Sprites/device/100", "BM_Sprites/pixman/100"),
    ("1,000 sprites: device / pixman", "BM_Sprites/device/1000", "BM_Sprites/pixman/1000"),
    ("10,000 sprites: device / pixman", "BM_Sprites/device/10000", "BM_Sprites/pixman/10000"),
    ("mip chain np2: ours / stb", "BM_MipChain/np2", "BM_MipChainPeer/np2"),
    ("mip chain pow2: ours / stb", "BM_MipChain/pow2", "BM_MipChainPeer/pow2"),
    ("mip chain cells: ours / stb", "BM_MipChain/cells", "BM_MipChainPeer/cells"),
]

UNITS = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}


def run(bindir, exe, flt, repetitions):
    """CPU time of every repetition, in milliseconds, by benchmark name."""
    path = os.path.join(bindir, exe)
    if not os.path.exists(path):
        return {}
    out = subprocess.run(
        [os.path.abspath(path), "--benchmark_filter=" + flt, "--benchmark_format=json",
         "--benchmark_repetitions=%d" % repetitions, "--benchmark_enable_random_interleaving=true"],
        cwd=bindir, capture_output=True, text=True, check=False)
    if out.returncode != 0:
        sys.stderr.write("%s failed (exit %d):\n%s" % (path, out.returncode, out.stderr))
        return {}
    times = {}
    for b in json.loads(out.stdout)["benchmarks"]:
        if b.get("run_type") != "iteration" or "error_occurred" in b:
            continue
        times.setdefault(b["run_name"], []).append(b["cpu_time"] * UNITS[b["time_unit"]])
    return times


def collect(builds, repetitions, rounds):
    results = [dict() for _ in builds]
    for _ in range(rounds):
        for exe, flt in BENCHES:
            for side, bindir in enumerate(builds):
                for name, values in run(bindir, exe, flt, repetitions).items():
                    results[side].setdefault(name, []).extend(values)
    return [{k: statistics.median(v) for k, v in r.items()} for r in results]


def fmt(ms):
    if ms is None:
        return "-"
    return "%.3f ms" % ms if ms < 10 else "%.1f ms" % ms


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--bin", default="build/bench/bin")
    ap.add_argument("--before")
    ap.add_argument("--repetitions", type=int, default=10)
    ap.add_argument("--rounds", type=int, default=3)
    args = ap.parse_args()
    builds = [args.bin] + ([args.before] if args.before else [])
    medians = collect(builds, args.repetitions, args.rounds)
    after = medians[0]
    before = medians[1] if args.before else {}
    if not after:
        sys.exit("no benchmark ran from " + args.bin)

    head = "| Benchmark (median CPU time) | " + ("Before | After |" if before else "Figure |")
    print(head)
    print("|---|" + ("---|---|" if before else "---|"))
    for name in sorted(after):
        row = "| `%s` | " % name
        row += ("%s | " % fmt(before.get(name)) if before else "") + "%s |" % fmt(after[name])
        print(row)
    print()
    print("| Ratio | " + ("Before | After |" if before else "Figure |"))
    print("|---|" + ("---|---|" if before else "---|"))
    for label, num, den in RATIOS:
        def ratio(m):
            return "%.2f" % (m[num] / m[den]) if num in m and den in m and m[den] > 0 else "-"
        print("| %s | " % label + ("%s | " % ratio(before) if before else "") + "%s |" % ratio(after))


if __name__ == "__main__":
    main()
