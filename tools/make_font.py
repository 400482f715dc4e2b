"""Writes small TrueType fonts with fontTools' FontBuilder for the tests of the font
character-map reader and the glyph check: each font has one empty glyph per code point asked
for, and its cmap holds the subtables asked for.

    python3.12 tools/make_font.py --chars "abc" --out /tmp/abc.ttf

From Python: font_bytes(code_points, formats=((3, 1, 4),)) returns the font file's bytes;
the formats are (platform, encoding, format) triples, and format 4, 0 and 6 subtables get the
code points they can hold (up to U+FFFF, U+00FF, U+FFFF).
"""

import argparse
import io
import sys

from fontTools.fontBuilder import FontBuilder
from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools.ttLib.tables._c_m_a_p import CmapSubtable

LIMITS = {0: 0xFF, 4: 0xFFFF, 6: 0xFFFF, 12: 0x10FFFF}


def font_bytes(code_points, formats=((3, 1, 4),)):
    """The bytes of a TrueType font with a glyph for each of the code points."""
    cps = sorted(set(code_points))
    names = {cp: f"uni{cp:04X}" if cp <= 0xFFFF else f"u{cp:05X}" for cp in cps}
    order = [".notdef"] + [names[cp] for cp in cps]
    fb = FontBuilder(1000, isTTF=True)
    fb.setupGlyphOrder(order)
    fb.setupCharacterMap({cp: names[cp] for cp in cps if cp <= 0xFFFF})
    empty = TTGlyphPen(None).glyph()
    fb.setupGlyf({name: empty for name in order})
    fb.setupHorizontalMetrics({name: (500, 0) for name in order})
    fb.setupHorizontalHeader(ascent=800, descent=-200)
    fb.setupNameTable({"familyName": "VerbixTest", "styleName": "Regular"})
    fb.setupOS2()
    fb.setupPost()
    tables = []
    for platform, encoding, fmt in formats:
        sub = CmapSubtable.newSubtable(fmt)
        sub.platformID, sub.platEncID, sub.language = platform, encoding, 0
        sub.cmap = {cp: names[cp] for cp in cps if cp <= LIMITS[fmt]}
        tables.append(sub)
    fb.font["cmap"].tables = tables
    out = io.BytesIO()
    fb.font.save(out)
    return out.getvalue()


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--chars", required=True, help="the characters the font draws")
    parser.add_argument("--out", required=True)
    args = parser.parse_args(argv)
    with open(args.out, "wb") as f:
        f.write(font_bytes(ord(c) for c in args.chars))
    return 0


if __name__ == "__main__":
    sys.exit(main())
