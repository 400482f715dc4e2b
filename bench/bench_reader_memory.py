"""Peak memory of the readers of outside files against the size of what they read: a large
dialogue.txt, a CSV of nothing but commas and a small hostile lang.dat whose zlib stream
expands into millions of empty lists. Each is read by `verbix-cli check` in a fresh process;
the table shows the input's size, the child's peak resident memory, the same for the tiny game
with a missing target (the floor: the program and the game data alone), and the peak above
that floor over the input's size.

    bench/bench_reader_memory.py [--txt-mb 107] [--csv-mb 50] [--build-dir build/cli-bench]
                                 [--cli path/to/verbix-cli]

Every input is refused or read in bounded memory: the figure to watch is the last column, a
small multiple of the input (the lang.dat is refused; its figure is peak over file size).
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import zlib
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "bench"))
sys.path.insert(0, str(ROOT / "tools"))
import make_game_data as gen  # noqa: E402
from release_cli import build  # noqa: E402

# The header sections of a TXT project, before its one dialogue section.
TXT_HEAD = """[VERSION]
bench

[LANGUAGE]
Bench

[FONT]
File : GameFont
Size : 28

[CREDITS]
1 : a
2 : b
3 : c

[ch01_intro.json]
"""


def write_txt(path, megabytes):
    """A dialogue.txt of short dialogue blocks, as a very long story would have."""
    target = megabytes * 10**6
    with open(path, "w", encoding="utf-8") as f:
        f.write(TXT_HEAD)
        written, i = len(TXT_HEAD), 0
        chunk = []
        while written < target:
            block = f"#k{i:07d} (Narrator)\n: Line {i} of the story.\n\n"
            chunk.append(block)
            written += len(block)
            i += 1
            if len(chunk) == 10000:
                f.write("".join(chunk))
                chunk.clear()
        f.write("".join(chunk))


def write_csv(path, megabytes):
    """A dialogue.csv of rows of commas (4,000 empty cells each)."""
    row = "," * 4000 + "\n"
    with open(path, "w") as f:
        for _ in range(megabytes * 10**6 // len(row)):
            f.write(row)


def write_hostile_dat(path):
    """A lang.dat of about a megabyte whose pickle stream builds one list of millions of empty
    lists (one byte each): its zlib stream expands about a thousandfold."""
    count = 62 * 2**20
    pickle = b"\x80\x04]" + b"(" + b"]" * count + b"e."
    with open(path, "wb") as f:
        f.write(zlib.compress(pickle, 9))


def peak(args, env, logs):
    """Peak resident bytes and exit status of one run of the program."""
    child = subprocess.Popen([str(a) for a in args] + ["--log-dir", str(logs)],
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
    _, status, usage = os.wait4(child.pid, 0)
    return usage.ru_maxrss * 1024, os.waitstatus_to_exitcode(status)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--txt-mb", type=int, default=107)
    ap.add_argument("--csv-mb", type=int, default=50)
    ap.add_argument("--build-dir", type=Path, default=ROOT / "build" / "cli-bench")
    ap.add_argument("--cli", type=Path, help="a verbix-cli to measure (else built here)")
    args = ap.parse_args()
    cli = args.cli or build(args.build_dir)
    rows = []
    with tempfile.TemporaryDirectory(prefix="verbix-reader-mem-") as tmp:
        tmp = Path(tmp)
        # A copy of its own: the shared cache may be renewed while this runs.
        game = tmp / "lang.dat"
        shutil.copyfile(gen.game_data_cache("tiny", version=1), game)
        env = {k: v for k, v in os.environ.items() if k != "APPDATA"}
        env["XDG_CONFIG_HOME"] = str(tmp / "config")
        floor, _ = peak([cli, "check", "--game", game, "--target", tmp / "none.txt"], env,
                        tmp / "logs")
        cases = []
        (tmp / "txt").mkdir()
        write_txt(tmp / "txt" / "dialogue.txt", args.txt_mb)
        cases.append(("dialogue.txt", tmp / "txt" / "dialogue.txt",
                      ["check", "--game", game, "--target", tmp / "txt" / "dialogue.txt"]))
        (tmp / "csv").mkdir()
        write_csv(tmp / "csv" / "dialogue.csv", args.csv_mb)
        cases.append(("dialogue.csv of commas", tmp / "csv" / "dialogue.csv",
                      ["check", "--game", game, "--target", tmp / "csv" / "dialogue.csv"]))
        write_hostile_dat(tmp / "hostile.dat")
        cases.append(("hostile lang.dat", tmp / "hostile.dat",
                      ["check", "--game", tmp / "hostile.dat", "--target", tmp / "none.txt"]))
        for name, path, cmd in cases:
            size = path.stat().st_size
            top, status = peak([cli] + cmd, env, tmp / "logs")
            rows.append([name, f"{size / 2**20:.1f} MiB", f"{top / 2**20:.0f} MiB",
                         f"{floor / 2**20:.0f} MiB", f"{max(top - floor, 0) / size:.1f}",
                         str(status)])
    head = ["input", "size", "peak", "floor", "(peak - floor) / size", "exit"]
    widths = [max(len(r[i]) for r in [head] + rows) for i in range(len(head))]
    for r in [head] + rows:
        print("| " + " | ".join(c.ljust(w) for c, w in zip(r, widths)) + " |")
    return 0


if __name__ == "__main__":
    sys.exit(main())
