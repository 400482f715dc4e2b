"""Benchmark of the dialogue formats on the large generated lang.dat: the core's writers,
readers, the CSV round trip and data_hash, each against a floor measured in the same run, and
CPython's csv.reader on the same file beside the core's csv_load.

    .venv/bin/python bench/bench_formats.py [--size large] [--runs 5]

The core's steps come from bench_formats.cpp, built here into build/formats-bench (or the
folder given with --build-dir).
"""

import argparse
import csv
import json
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tools"))
import make_game_data as gen  # noqa: E402
from bench_build import build_program  # noqa: E402

FLOORS = {"dat_2_txt": "floor: copy text", "txt_2_dat": "floor: split text into lines",
          "dat_2_csv": "floor: copy csv bytes",
          "csv round trip (save, load, csv_2_dat)": "floor: write and read the csv bytes",
          "csv_load": "floor: write and read the csv bytes",
          "data_hash": "floor: sha256 of the keys"}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--size", default="large")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--build-dir", type=Path, default=ROOT / "build" / "formats-bench")
    args = parser.parse_args()
    program = build_program("bench_formats", args.build_dir)
    path = gen.game_data_cache(args.size)
    with tempfile.TemporaryDirectory() as out:
        proc = subprocess.run([str(program), str(path), str(args.runs), out], check=True,
                              capture_output=True, text=True)
        steps = {s["step"]: s for s in map(json.loads, proc.stdout.splitlines())}
        steps.pop("csv_path", None)
        times = []
        for _ in range(args.runs):
            start = time.perf_counter()
            with open(Path(out) / "dialogue.csv", newline="", encoding="utf-8-sig") as f:
                list(csv.reader(f))
            times.append(time.perf_counter() - start)
        steps["CPython csv.reader"] = {"step": "CPython csv.reader",
                                       "seconds": statistics.median(times),
                                       "bytes": steps["csv_load"]["bytes"]}
    print(f"{'step':42} {'seconds':>9} {'MB/s':>8} {'x floor':>8}")
    for name, s in steps.items():
        mbs = s["bytes"] / 1e6 / s["seconds"] if s["bytes"] and s["seconds"] else 0
        floor = steps.get(FLOORS.get(name, ""), None)
        ratio = f"{s['seconds'] / floor['seconds']:8.1f}" if floor else " " * 8
        print(f"{name:42} {s['seconds']:9.4f} {mbs:8.1f} {ratio}")
    print(f"csv_load is {steps['CPython csv.reader']['seconds'] / steps['csv_load']['seconds']:.1f}"
          " times as fast as CPython's csv.reader")


if __name__ == "__main__":
    main()
