"""Benchmark of Check and Update on the large generated data: a project of version 1 checked
and updated against version 2, in TXT and CSV, each against a floor measured in the same run
(reading the same file and writing the same bytes), and the peak memory.

    .venv/bin/python bench/bench_update.py [--size large] [--runs 3]

The steps come from bench_update.cpp, built here into build/update-bench.
"""

import argparse
import json
import subprocess
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tools"))
import make_game_data as gen  # noqa: E402
from bench_build import build_program  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--size", default="large")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--build-dir", type=Path, default=ROOT / "build" / "update-bench")
    args = parser.parse_args()
    program = build_program("bench_update", args.build_dir)
    old, new = gen.game_data_cache(args.size, version=1), gen.game_data_cache(args.size, version=2)
    with tempfile.TemporaryDirectory() as out:
        proc = subprocess.run([str(program), str(old), str(new),
                               str(args.runs), out], check=True, capture_output=True, text=True)
    print(f"{'step':36} {'seconds':>9} {'floor':>9} {'ratio':>7}")
    for line in proc.stdout.splitlines():
        row = json.loads(line)
        if "step" in row:
            print(f"{row['step']:36} {row['seconds']:9.3f} {row['floor']:9.3f} "
                  f"{row['seconds'] / row['floor']:7.2f}")
        else:
            (key, value), = row.items()
            print(f"{key:36} {value:9d} MB")


if __name__ == "__main__":
    main()
