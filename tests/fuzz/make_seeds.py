"""Writes the seed inputs of the fuzz targets: CPython pickles of small records at every
protocol (raw for pickle_fuzz, zlib-compressed for container_fuzz) and a few edge values.

    python tests/fuzz/make_seeds.py build/fuzz/corpus
"""

import base64
import pickle
import sys
import zlib
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))


def records():
    try:
        import make_game_data as gen
        yield gen.make_record("tiny")
    except ImportError:
        pass
    shared = ["x", b"y"]
    yield {"s": "\u00e9\n\\ \u3000\U0001f600", "b": b"ab\xff", "e": b"", "ba": bytearray(b"x"),
           "n": None, "t": True, "i": -3, "big": 2**40, "neg": -2**63, "fl": 1.5,
           "l": [1, (2, 3), ()], "d": {}, "one": shared, "two": shared}
    yield [[[[[]]]]]
    yield "x" * 70_000


def main(out):
    out = Path(out)
    (out / "pickle").mkdir(parents=True, exist_ok=True)
    (out / "container").mkdir(parents=True, exist_ok=True)
    for i, rec in enumerate(records()):
        for p in range(6):
            raw = pickle.dumps(rec, protocol=p)
            (out / "pickle" / f"seed{i}_p{p}").write_bytes(raw)
            (out / "container" / f"seed{i}_p{p}").write_bytes(zlib.compress(raw, 6))
    (out / "container" / "blob").write_bytes(base64.b64encode(zlib.compress(b"hello")))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "build/fuzz/corpus"))
