"""Benchmark of the window's log panel: as many report lines as Check prints on the large game
(7,390), appended one at a time as a workflow appends them, against a floor measured in the
same run: the same text put into a plain Tk text widget in one insert. Runs under a display
(`xvfb-run -a .venv/bin/python bench/bench_log_panel.py`).

    .venv/bin/python bench/bench_log_panel.py [--lines 7390] [--runs 5]
"""

import argparse
import os
import statistics
import sys
import tempfile
import time
import tkinter
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent


def panel_seconds(app, lines):
    start = time.perf_counter()
    app.clear_log()
    for line in lines:
        app.append_log(line)
    app.save_log()
    app.root.update_idletasks()
    return time.perf_counter() - start


def floor_seconds(root, lines):
    text = tkinter.Text(root)
    text.pack()
    start = time.perf_counter()
    text.insert("end", "\n".join(lines) + "\n")
    text.see("end")
    root.update_idletasks()
    seconds = time.perf_counter() - start
    text.destroy()
    return seconds


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--lines", type=int, default=7390)
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    os.environ["APPDATA"] = tempfile.mkdtemp()  # settings and logs of a throw-away tool folder
    import verbix
    app = verbix.App(str(ROOT / "demo" / "lang.dat"))
    app.root.update()
    lines = [f"Dialogue line added at line ({n}): a text of the report number {n}"
             for n in range(args.lines)]
    panel = statistics.median(panel_seconds(app, lines) for _ in range(args.runs))
    floor = statistics.median(floor_seconds(app.root, lines) for _ in range(args.runs))
    app.on_close()
    print(f"| step | lines | time | per line | x floor |")
    print(f"|---|---|---|---|---|")
    print(f"| floor: one insert | {args.lines} | {floor:.3f} s | {floor / args.lines * 1e6:.1f} us | 1.0 |")
    print(f"| log panel, line by line | {args.lines} | {panel:.3f} s | "
          f"{panel / args.lines * 1e6:.1f} us | {panel / floor:.1f} |")


if __name__ == "__main__":
    sys.exit(main())
