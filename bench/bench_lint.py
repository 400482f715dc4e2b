"""Benchmark of the build checks: what `lint_translation` adds to Build on a translated project
of the large generated game (every text translated, a font made by fontTools that covers
every character, so that every check runs on every text), against the Build steps around it
measured in the same run: reading the project, comparing it with the game, compiling.

    .venv/bin/python bench/bench_lint.py [--size large] [--runs 3]

The timed steps come from bench_lint.cpp, built into build/lint-bench.
"""

import argparse
import json
import subprocess
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tools"))
import make_font  # noqa: E402
import make_game_data as gen  # noqa: E402
from bench_build import build_program  # noqa: E402


def characters(rec):
    found = set()
    for text in rec["lng_info"]:
        found.update(map(ord, text))
    for table in gen.TABLES:
        for value in rec[table].values():
            for text in value if isinstance(value, list) else [value]:
                found.update(map(ord, text))
    return found


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--size", default="large")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--build-dir", type=Path, default=ROOT / "build" / "lint-bench")
    args = parser.parse_args()
    program = build_program("bench_lint", args.build_dir)
    game_path = gen.game_data_cache(args.size)
    game = gen.make_record(args.size)
    mine = gen.translate_record(game)
    mine["img_data"] = {}  # the images are the project reader's work, timed elsewhere
    with tempfile.TemporaryDirectory() as tmp:
        tmp = Path(tmp)
        (tmp / "mine.dat").write_bytes(gen.encode(mine))
        (tmp / "font.ttf").write_bytes(
            make_font.font_bytes(characters(mine), ((3, 1, 4), (3, 10, 12))))
        project = tmp / "project"
        subprocess.run([program, "prepare", tmp / "mine.dat", tmp / "font.ttf", project],
                       check=True)
        out = subprocess.run([program, "time", game_path, project, str(args.runs),
                              tmp / "out.cld"], check=True, capture_output=True, text=True)
    t = json.loads(out.stdout.splitlines()[-1])
    texts = sum(len(v) if isinstance(v, list) else 1 for table in gen.TABLES
                for v in game[table].values())
    print(f"{args.size} game, translated: {texts} texts; problems found: "
          f"{t['errors']} errors, {t['warnings']} warnings")
    print(f"{'step':36} {'seconds':>8} {'x lint':>7}")
    for step in ("read", "compare", "compile", "build"):
        print(f"{step:36} {t[step]:8.3f} {t[step] / t['lint']:7.1f}")
    print(f"{'lint (what the checks add)':36} {t['lint']:8.3f} {1:7.1f}")
    print(f"lint adds {t['lint']:.3f} s, {100 * t['lint'] / t['build']:.0f}% of read + compare + "
          f"compile ({t['build']:.3f} s); aim: at most 0.3 s")


if __name__ == "__main__":
    main()
