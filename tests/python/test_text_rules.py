"""The core's Python text rules held against CPython's str on generated texts."""

import random
import sys

import pytest

from verbix import _text

ALL_CHARS = [chr(c) for c in range(sys.maxunicode + 1) if not 0xD800 <= c <= 0xDFFF]


def test_upper_matches_str_upper_for_every_code_point():
    # One text per block of code points keeps the call count low and covers all of them.
    for start in range(0, len(ALL_CHARS), 4096):
        chunk = "".join(ALL_CHARS[start:start + 4096])
        assert _text.upper(chunk) == chunk.upper()


@pytest.mark.parametrize("seed", range(3))
def test_strip_and_length_match_str(seed):
    rng = random.Random(seed)
    spaces = [c for c in ALL_CHARS if c.isspace()]
    for _ in range(2000):
        parts = [rng.choice(spaces) for _ in range(rng.randint(0, 3))]
        parts += [rng.choice(ALL_CHARS) for _ in range(rng.randint(0, 5))]
        parts += [rng.choice(spaces) for _ in range(rng.randint(0, 3))]
        text = "".join(parts)
        assert _text.strip(text) == text.strip()
        assert _text.length(text) == len(text)


@pytest.mark.parametrize("seed", range(3))
def test_to_int_matches_int_for_ascii_digits(seed):
    rng = random.Random(seed)
    pieces = ["0", "7", "12", "_", "+", "-", " ", "\u3000", "\t", "x", "999999999"]
    for _ in range(3000):
        text = "".join(rng.choice(pieces) for _ in range(rng.randint(0, 6)))
        try:
            expected = int(text)
        except ValueError:
            expected = None
        if expected is not None and not -2**63 <= expected < 2**63:
            expected = None
        assert _text.to_int(text) == expected, repr(text)


def random_text(rng, plane):
    """A short text of code points of one Unicode plane, with spaces, quotes and backslashes."""
    low, high = plane * 0x10000, plane * 0x10000 + 0xFFFF
    chars = []
    for _ in range(rng.randint(0, 6)):
        c = rng.randint(low, high)
        if 0xD800 <= c <= 0xDFFF:
            c = rng.choice([0x3000, 0x200B, 0xA0, 0x27, 0x22, 0x5C, 0x0A, 0x7F])
        chars.append(chr(c))
    return "".join(chars)


def random_tree(rng, depth=0):
    kind = rng.randint(0, 4 if depth < 3 else 1)
    if kind <= 1:
        return random_text(rng, rng.choice([0, 0, 1, 2, 3, 14, 15, 16]))
    if kind == 2:
        return [random_tree(rng, depth + 1) for _ in range(rng.randint(0, 4))]
    if kind == 3:
        return {random_text(rng, rng.randint(0, 16)): random_tree(rng, depth + 1)
                for _ in range(rng.randint(0, 4))}
    return rng.choice([None, True, False, 0, -12, 1.5, 1e16, b"\x00'\xff\"", "it's"])


def test_text_form_matches_str_on_nested_lists_and_maps_from_every_plane():
    # Lists and maps of texts print as CPython's str() prints them: every character that
    # str.isprintable() rejects (U+3000, U+200B, unassigned and private-use code points) escaped.
    assert _text.text_form(["\u3000x", "a\u200bb"]) == "['\\u3000x', 'a\\u200bb']"
    rng = random.Random(16)
    for plane in range(17):
        texts = [random_text(rng, plane) for _ in range(40)]
        assert _text.text_form(texts) == str(texts)
        assert _text.text_form({t: [t, {t: t}] for t in texts}) == str({t: [t, {t: t}] for t in texts})
    for _ in range(3000):
        tree = random_tree(rng)
        assert _text.text_form(tree) == str(tree), repr(tree)
