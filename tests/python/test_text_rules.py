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
