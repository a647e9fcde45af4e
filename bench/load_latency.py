#!/usr/bin/env python3
"""Loading 999 songs from a fast and from a slow disk: the window's open folder (offscreen,
bench_gui_load BM_OpenFolderInWindow), `sorrelbox-cli list` and `sorrelbox-cli scan` of one
folder, each on (a) a warm page cache, (b) a cold one (dropped before each run; needs root) and
(c) with 2 ms added to every openat and pread64 by strace.

  bench/load_latency.py [--runs N] [--base OTHER_BUILD] [BUILD]

BUILD defaults to build/. With --base the two builds run alternately, so both see the same
machine load; the script prints the median and the spread (min-max) of each.
"""

import argparse
import json
import os
import pathlib
import statistics
import subprocess
import sys
import tempfile
import time

SONGS = 999
# One second of 128 kbit/s MPEG-1 Layer III at 44.1 kHz: 38 frames of 417 bytes.
FRAME = bytes([0xFF, 0xFB, 0x90, 0x64]) + bytes(413)
STRACE = ["strace", "-f", "-qq", "--seccomp-bpf", "-o", "/dev/null",
          "-e", "trace=openat,pread64",
          "-e", "inject=openat:delay_enter=2000", "-e", "inject=pread64:delay_enter=2000"]


def make_folder(root):
    folder = pathlib.Path(root) / "songs"
    folder.mkdir()
    for i in range(SONGS):
        (folder / f"song {i:03}.mp3").write_bytes(FRAME * 38 * (1 + i % 5))
    return folder


def drop_cache():
    subprocess.run(["sync"], check=True)
    pathlib.Path("/proc/sys/vm/drop_caches").write_text("3\n")


def window_ms(build, folder, prefix):
    """One open folder in a fresh window, as the benchmark measures it (Qt start-up excluded)."""
    env = dict(os.environ, SORRELBOX_BENCH_FOLDER=str(folder), QT_QPA_PLATFORM="offscreen")
    out = subprocess.run(prefix + [str(build / "bin/bench_gui_load"),
                                   "--benchmark_filter=BM_OpenFolderInWindow",
                                   "--benchmark_min_time=1x", "--benchmark_format=json"],
                         env=env, check=True, capture_output=True, text=True).stdout
    return json.loads(out)["benchmarks"][0]["real_time"]


def process_ms(argv, prefix, cwd):
    start = time.perf_counter()
    subprocess.run(prefix + argv, cwd=cwd, check=False, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    return (time.perf_counter() - start) * 1000


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build", nargs="?", default="build")
    parser.add_argument("--base")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--cases", default="warm,cold,latency")
    args = parser.parse_args()
    builds = {"new": pathlib.Path(args.build).resolve()}
    if args.base:
        builds["base"] = pathlib.Path(args.base).resolve()
    cold_ok = os.geteuid() == 0
    with tempfile.TemporaryDirectory() as root:
        folder = make_folder(root)
        files = sorted(str(p) for p in folder.iterdir())
        tasks = {
            "window": lambda b, p: window_ms(b, folder, p),
            "cli list": lambda b, p: process_ms(
                [str(b / "bin/sorrelbox-cli"), "list", str(pathlib.Path(root) / "out.txt"),
                 str(folder)], p, root),
            "cli scan": lambda b, p: process_ms(
                [str(b / "bin/sorrelbox-cli"), "scan"] + files, p, root),
        }
        results = {}
        for case in args.cases.split(","):
            if case == "cold" and not cold_ok:
                print("cold: skipped (dropping the page cache needs root)", file=sys.stderr)
                continue
            prefix = STRACE if case == "latency" else []
            for run in range(args.runs):
                for task, measure in tasks.items():
                    for name, build in builds.items():
                        if case == "cold":
                            drop_cache()
                        elif run == 0:
                            measure(build, prefix)  # warms the cache and the binary
                        results.setdefault((case, task, name), []).append(
                            measure(build, prefix))
        for (case, task, name), values in results.items():
            print(f"{case:8} {task:9} {name:5} median {statistics.median(values):8.1f} ms"
                  f"  range {min(values):8.1f}-{max(values):8.1f}  n={len(values)}")


if __name__ == "__main__":
    main()
