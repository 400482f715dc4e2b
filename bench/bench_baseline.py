#!/usr/bin/env python3
"""Check with an English baseline against Check without one, on the same project: verbix-cli
check of a TXT project of release 1 against release 2, once with the project's english.dat
(the changed texts listed) and once with it moved away, alternating, and the ratio of the
medians. The floor is the run without a baseline, measured in the same run; the aim is at
most 1.2.

    bench/bench_baseline.py [--size large] [--runs 5] [--build-dir build/cli-bench]
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tools"))
import make_game_data as gen  # noqa: E402
from release_cli import build  # noqa: E402


def timed(args, env, logs):
    start = time.perf_counter()
    done = subprocess.run([str(a) for a in args] + ["--log-dir", str(logs)], env=env,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    seconds = time.perf_counter() - start
    if done.returncode != 0:
        sys.exit(f"bench_baseline: {args[1]} exited {done.returncode}: {done.stderr.decode()}")
    return seconds, done.stdout.decode(errors="replace")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--size", default="large")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--build-dir", type=Path, default=ROOT / "build" / "cli-bench")
    args = parser.parse_args()
    cli = build(args.build_dir)
    old = gen.game_data_cache(args.size, version=1)
    new = gen.game_data_cache(args.size, version=2)
    env = {k: v for k, v in os.environ.items() if k != "APPDATA"}
    with tempfile.TemporaryDirectory(prefix="verbix-bench-baseline-") as tmp:
        tmp = Path(tmp)
        env["XDG_CONFIG_HOME"] = str(tmp / "config")
        project = tmp / "project"
        timed([cli, "create", "--game", old, "--out", project], env, tmp / "logs")
        baseline, away = project / "english.dat", tmp / "english.dat"
        target = project / "dialogue.txt"
        with_times, without_times = [], []
        changed = ""
        for _ in range(args.runs):
            seconds, out = timed([cli, "check", "--game", new, "--target", target], env,
                                 tmp / "logs")
            with_times.append(seconds)
            changed = next((line for line in out.splitlines()
                            if line.startswith("English changed: ")), "")
            baseline.rename(away)
            seconds, _ = timed([cli, "check", "--game", new, "--target", target], env,
                               tmp / "logs")
            without_times.append(seconds)
            away.rename(baseline)
    with_median = statistics.median(with_times)
    without_median = statistics.median(without_times)
    print(f"| Check ({args.size})         | median of {args.runs} |")
    print("|---------------------------|--------------|")
    print(f"| without english.dat       | {without_median:8.2f} s   |")
    print(f"| with english.dat          | {with_median:8.2f} s   |")
    print(f"| ratio (aim at most 1.2)   | {with_median / without_median:8.2f}     |")
    print(f"english.dat: {changed or 'no changed line'}; load average "
          f"{os.getloadavg()[0]:.1f}, {os.cpu_count()} CPUs")


if __name__ == "__main__":
    main()
