"""Writes the seed inputs of the fuzz targets: CPython pickles of small records at every
protocol (raw for pickle_fuzz, zlib-compressed for container_fuzz), a few edge values, and
small fonts made by fontTools for font_cmap_fuzz.

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
    write_fonts(out / "font_cmap")
    return 0


def write_fonts(folder):
    """Fonts with each cmap format the reader knows, plain and as WOFF."""
    try:
        import make_font
        from fontTools.ttLib import TTFont
    except ImportError:
        return
    import io
    folder.mkdir(parents=True, exist_ok=True)
    cps = list(range(32, 127)) + [0xE9, 0x4E2D, 0x4E2E, 0x1F600]
    sets = {"f4": ((3, 1, 4),), "f12": ((3, 10, 12), (3, 1, 4)), "f0": ((1, 0, 0),),
            "f6": ((0, 3, 6),)}
    for name, formats in sets.items():
        data = make_font.font_bytes(cps, formats)
        (folder / f"{name}.ttf").write_bytes(data)
        font = TTFont(io.BytesIO(data))
        font.flavor = "woff"
        woff = io.BytesIO()
        font.save(woff)
        (folder / f"{name}.woff").write_bytes(woff.getvalue())


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "build/fuzz/corpus"))
