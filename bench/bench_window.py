"""Check and Update in the window against the same on the command line, in one run: the large
game's next release against a project of its current one, each timed --runs times, interleaved.
Prints the median times and the window/command-line ratios (aim: the window's Check within
1.3x the command line's).

The window is the real one (the installed extension module) on a display, with the game data
loaded at its start as a translator's is; a command-line run loads it itself, so the table also
shows verbix-cli loading alone and its Check and Update less that load. Message boxes are
answered Yes; the file explorer is a program that does nothing.

    scripts/build-module   # the module and verbix-cli into .venv
    xvfb-run -a .venv/bin/python bench/bench_window.py [--size large] [--runs 3]
"""

import argparse
import os
import resource
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

CLI = Path(sys.executable).parent / "verbix-cli"


def cli_seconds(args, logs, ok=(0,)):
    """Wall seconds of one verbix-cli run, logging into a folder of its own."""
    logs.mkdir(parents=True, exist_ok=True)
    start = time.perf_counter()
    done = subprocess.run([str(CLI), *map(str, args), "--log-dir", str(logs)],
                          stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    seconds = time.perf_counter() - start
    if done.returncode not in ok:
        sys.exit(f"bench_window: verbix-cli {args[0]} exited {done.returncode}: "
                 f"{done.stderr.decode(errors='replace')}")
    return seconds


def answer_yes():
    """Message boxes answered as a translator who goes ahead would; an error box ends the run."""
    import tkinter.messagebox

    def error(*args, **kwargs):
        sys.exit(f"bench_window: the window showed an error: {args} {kwargs}")

    tkinter.messagebox.askyesno = lambda *a, **k: True
    tkinter.messagebox.showerror = error


def window_seconds(app, button):
    """Seconds from a click on the button to the end of its command, the panel drawn."""
    start = time.perf_counter()
    button.invoke()
    app.root.update()
    return time.perf_counter() - start


class Quiet:
    """Sends what the window echoes to the console (every log line) to /dev/null meanwhile."""

    def __enter__(self):
        sys.stdout.flush()
        self.saved = os.dup(1)
        null = os.open(os.devnull, os.O_WRONLY)
        os.dup2(null, 1)
        os.close(null)

    def __exit__(self, *exc):
        sys.stdout.flush()
        os.dup2(self.saved, 1)
        os.close(self.saved)


def fresh_copy(base, folder):
    shutil.rmtree(folder, ignore_errors=True)
    shutil.copytree(base, folder)
    return folder / "dialogue.txt"


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--size", default="large", choices=list(gen.SIZES))
    ap.add_argument("--runs", type=int, default=3)
    args = ap.parse_args()
    old = gen.game_data_cache(args.size, version=1)
    new = gen.game_data_cache(args.size, version=2)
    tmp = Path(tempfile.mkdtemp(prefix="verbix-bench-window-"))
    os.environ["APPDATA"] = os.environ["XDG_CONFIG_HOME"] = str(tmp / "config")
    os.environ["VERBIX_OPENER"] = shutil.which("true")
    logs = tmp / "logs"
    base = tmp / "base"
    cli_seconds(["create", "--game", old, "--out", base, "--images", "PNG"], logs / "base")

    with Quiet():
        times, panel_lines = measure(args, new, tmp, base, logs)
    shutil.rmtree(tmp, ignore_errors=True)
    report(args, times, panel_lines)
    return 0


def measure(args, new, tmp, base, logs):
    """The times of each kind of run, and the number of lines Check showed in the panel."""
    import verbix
    verbix.utils.executable = str(tmp / "tool" / "verbix")  # the tool folder: projects, logs
    answer_yes()
    app = verbix.App(str(new))
    app.root.update()
    app.update_format_opt.set("TXT")
    app.update_images_opt.set("Replace Missing")  # as verbix-cli update by default
    app.update_backup_tog.select()                # verbix-cli keeps a backup by default
    times = {k: [] for k in ("cli load", "cli check", "cli update", "window check",
                             "window update")}
    panel_lines = 0
    for run in range(args.runs):
        target = base / "dialogue.txt"
        times["cli load"].append(cli_seconds(
            ["check", "--game", new, "--target", tmp / "none.txt"], logs / f"l{run}", ok=(1,)))
        times["cli check"].append(cli_seconds(
            ["check", "--game", new, "--target", target], logs / f"c{run}"))
        app.set_lbl(app.update_target_pth, str(target))
        times["window check"].append(window_seconds(app, app.update_check_btn))
        panel_lines = int(app.log_text.index("end-1c").split(".")[0]) - 1
        times["cli update"].append(cli_seconds(
            ["update", "--game", new, "--target", fresh_copy(base, tmp / "cli"), "--yes"],
            logs / f"u{run}"))
        app.set_lbl(app.update_target_pth, str(fresh_copy(base, tmp / "win")))
        times["window update"].append(window_seconds(app, app.update_button))
    app.on_close()
    return times, panel_lines


def report(args, times, panel_lines):
    t = {k: statistics.median(v) for k, v in times.items()}
    rows = [("Check", t["window check"], t["cli check"], t["cli check"] - t["cli load"]),
            ("Update", t["window update"], t["cli update"], t["cli update"] - t["cli load"])]
    print(f"| {args.size} game | window | verbix-cli | window / cli | cli less its load "
          f"| window / (cli less load) |")
    print("|---|---|---|---|---|---|")
    for name, w, c, work in rows:
        print(f"| {name} | {w:.2f} s | {c:.2f} s | {w / c:.2f} | {work:.2f} s | {w / work:.2f} |")
    load = os.getloadavg()[0]
    # Only the window's own: Linux would count the window's size into its children's peaks
    # (bench/run shows verbix-cli's).
    window_peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024
    print(f"\npeak memory of the window's process: {window_peak:.0f} MiB")
    print(f"median of {args.runs} runs; verbix-cli loading alone {t['cli load']:.2f} s; "
          f"Check showed {panel_lines} lines in the panel; load average at the end {load:.1f}, "
          f"{os.cpu_count()} CPUs")


if __name__ == "__main__":
    sys.exit(main())
