"""Benchmark of the container file on the large generated lang.dat: loading and saving in the
core and from Python, against floors measured in the same run (zlib inflate and deflate
alone, CPython's pickle with zlib), with the peak memory of each step.

    .venv/bin/python bench/bench_container.py [--size large] [--runs 3]

Every step runs in a fresh process, `--runs` times; the figures are the fastest run (wall
clock and CPU time of the step itself) and the peak resident memory of that process (which
includes what the step needs before it starts: a save first loads the record). The
core's steps come from bench_container.cpp, built here into build/data-bench (or the folder
given with --build-dir).
"""

import argparse
import json
import os
import subprocess
import sys
import textwrap
import zlib
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tools"))
from bench_build import build_program  # noqa: E402
import make_game_data as gen  # noqa: E402


def module_importable():
    """Whether this Python has the verbix module (its steps are left out without it)."""
    done = subprocess.run([sys.executable, "-c", "import verbix"], capture_output=True)
    return done.returncode == 0


# A Python step: the child prints the same JSON line as the core's bench program.
PY_STEP = textwrap.dedent("""
    import json, pickle, re, sys, time, zlib
    step, path, out = sys.argv[1], sys.argv[2], sys.argv[3]
    raw = open(path, "rb").read()
    def run(fn):
        wall, cpu = time.perf_counter(), time.process_time()
        result = fn()
        return result, time.perf_counter() - wall, time.process_time() - cpu
    if step == "py-inflate":
        _, wall, cpu = run(lambda: zlib.decompress(raw))
    elif step == "cpython-load":
        _, wall, cpu = run(lambda: pickle.loads(zlib.decompress(raw)))
    elif step == "cpython-save":
        rec = pickle.loads(zlib.decompress(raw))
        _, wall, cpu = run(lambda: open(out, "wb").write(zlib.compress(pickle.dumps(rec, 4), 6)))
    elif step == "py-deflate":
        data = zlib.decompress(raw)
        _, wall, cpu = run(lambda: zlib.compress(data, 6))
    else:
        import verbix
        if step == "verbix-load":
            del raw
            _, wall, cpu = run(lambda: verbix.utils.dat_load(path))
        else:
            rec = pickle.loads(zlib.decompress(raw))
            del raw
            _, wall, cpu = run(lambda: verbix.utils.dat_save(out, rec))
    status = open("/proc/self/status").read()
    peak = int(re.search(r"VmHWM:\\s+(\\d+) kB", status).group(1)) * 1024
    print(json.dumps({"step": step, "wall": wall, "cpu": cpu, "peak_rss": peak}))
""")


def stream_size(path):
    """The decompressed size of the file, read in pieces (this process stays small, as the
    steps' processes are its children)."""
    inflater, size = zlib.decompressobj(), 0
    with open(path, "rb") as f:
        while chunk := f.read(1 << 20):
            size += len(inflater.decompress(chunk))
    return size + len(inflater.flush())


def run_step(command, runs):
    best = None
    for _ in range(runs):
        done = subprocess.run(command, capture_output=True, text=True, check=True)
        line = [l for l in done.stdout.splitlines() if l.startswith("{")][-1]
        result = json.loads(line)
        if best is None or result["wall"] < best["wall"]:
            best = result
    return best


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--size", default="large", choices=list(gen.SIZES))
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--build-dir", type=Path, default=ROOT / "build" / "data-bench")
    args = ap.parse_args(argv)

    path = str(gen.game_data_cache(args.size))
    out = str(args.build_dir / "saved.dat")
    compressed = os.path.getsize(path)
    record_bytes = stream_size(path)
    core = str(build_program("bench_container", args.build_dir))
    with_module = module_importable()

    def core_step(step, *extra):
        return run_step([core, step, path, *extra], args.runs)

    def py_step(step):
        return run_step([sys.executable, "-c", PY_STEP, step, path, out], args.runs)

    r = {
        "inflate": core_step("inflate"),
        "py-inflate": py_step("py-inflate"),
        "load": core_step("load"),
        "cpython-load": py_step("cpython-load"),
        "verbix-load": py_step("verbix-load") if with_module else None,
        "deflate": core_step("deflate"),
        "py-deflate": py_step("py-deflate"),
        "save": core_step("save", out),
        "cpython-save": py_step("cpython-save"),
        "verbix-save": py_step("verbix-save") if with_module else None,
    }

    mb = 1 << 20
    print(f"{path}")
    print(f"  {compressed / mb:.1f} MB compressed, {record_bytes / mb:.1f} MB pickle stream "
          f"(the uncompressed record); {os.cpu_count()} cores")
    print(f"  {'step':<46} {'wall s':>7} {'cpu s':>7} {'peak MB':>8}")
    names = {
        "inflate": "zlib inflate alone, streamed (core)",
        "py-inflate": "zlib inflate alone into memory (zlib.decompress)",
        "load": "dat_load (core: inflate + decode)",
        "cpython-load": "CPython pickle.loads(zlib.decompress(...))",
        "verbix-load": "verbix.utils.dat_load (core + Python objects)",
        "deflate": "zlib deflate alone, level 6 (core)",
        "py-deflate": "zlib.compress(data, 6)",
        "save": "dat_save (core: encode + deflate + write)",
        "cpython-save": "CPython zlib.compress(pickle.dumps(...)) + write",
        "verbix-save": "verbix.utils.dat_save (Python objects + core)",
    }
    for key, name in names.items():
        x = r[key]
        if x is None:
            print(f"  {name:<46} (the verbix module is not installed here)")
            continue
        print(f"  {name:<46} {x['wall']:7.3f} {x['cpu']:7.3f} {x['peak_rss'] / mb:8.1f}")

    def ratio(a, b, field="wall"):
        return r[a][field] / r[b][field]

    print("  ratios (wall / cpu):")
    for a, b, label in [
        ("load", "inflate", "load / streamed inflate"),
        ("load", "py-inflate", "load / zlib.decompress"),
        ("load", "cpython-load", "load / CPython load"),
        ("verbix-load", "cpython-load", "verbix.utils.dat_load / CPython load"),
        ("save", "deflate", "save / deflate alone"),
        ("save", "cpython-save", "save / CPython save"),
    ]:
        if r[a] is None or r[b] is None:
            continue
        print(f"    {label:<40} {ratio(a, b):5.2f} / {ratio(a, b, 'cpu'):5.2f}")
    print(f"    {'load peak memory / uncompressed record':<40} "
          f"{r['load']['peak_rss'] / record_bytes:5.2f}")
    print(f"    {'CPython load peak / uncompressed record':<40} "
          f"{r['cpython-load']['peak_rss'] / record_bytes:5.2f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
