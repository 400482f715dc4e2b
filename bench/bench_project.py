"""Benchmark of the project reader and the compiler on the large generated game written out as
a project (dialogue.txt, every image as a PNG file, a font): reading the project and compiling
its language file, against the floor measured in the same run (reading every file of the
project and writing a file of the output's size), and each one's peak memory against the
images' total size.

    .venv/bin/python bench/bench_project.py [--size large] [--runs 3]

The timed steps come from bench_project.cpp, built into build/project-bench; each runs in its
own process so that its peak memory is its own.
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


def run(program, *args):
    out = subprocess.run([str(program), *map(str, args)], check=True, capture_output=True,
                         text=True).stdout
    return json.loads(out.splitlines()[-1])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--size", default="large")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--build-dir", type=Path, default=ROOT / "build" / "project-bench")
    args = parser.parse_args()
    program = build_program("bench_project", args.build_dir)
    with tempfile.TemporaryDirectory() as tmp:
        project, out = Path(tmp) / "project", Path(tmp) / "out.cld"
        images = run(program, "prepare", gen.game_data_cache(args.size), project)["bytes"]
        tool = run(program, "build", project, args.runs, out)
        floor = run(program, "floor", project, args.runs, Path(tmp) / "floor.cld", tool["bytes"])
    print(f"{args.size} project: {images / 1e6:.1f} MB of images, "
          f"{tool['bytes'] / 1e6:.1f} MB of output")
    print(f"{'step':52} {'seconds':>8} {'MB/s':>7} {'x floor':>8} {'peak MB':>8} {'x images':>9}")
    for s in (tool, floor):
        mbs = s["bytes"] / 1e6 / s["seconds"]
        print(f"{s['step']:52} {s['seconds']:8.3f} {mbs:7.1f} {s['seconds'] / floor['seconds']:8.2f}"
              f" {s['peak_rss'] / 1e6:8.1f} {s['peak_rss'] / images:9.2f}")


if __name__ == "__main__":
    main()
