"""The fingerprint and the check before a build, from Python: data_hash against its definition
computed with hashlib on generated records, data_compare's outcomes and messages with and
without a window (the new stamp lands in the caller's dict), and hash_path against hashlib."""

import copy
import hashlib
import random
import re
import sys
from pathlib import Path

import pytest

import verbix

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
import make_game_data as gen  # noqa: E402


def sha(text, n):
    return hashlib.sha256(text.encode("utf-8")).hexdigest()[:n]


def fingerprint(rec):
    """data_hash's definition, written out with hashlib."""
    images, content = set(), set()
    for key, value in rec.items():
        if key != "sections" and isinstance(value, dict):
            (images if "img" in key else content).update(value)
    return sha("".join(sorted(content)), 16) + sha("".join(sorted(images)), 4)


@pytest.fixture(scope="module", params=[(s, v) for s in ("tiny", "small") for v in (1, 2)],
                ids=lambda p: f"{p[0]}-v{p[1]}")
def game(request):
    return gen.make_record(request.param[0], version=request.param[1])


def translation(game):
    """The game's record as a translator's project gives it back: other texts, no font data,
    the same ids, an old stamp."""
    tr = copy.deepcopy(game)
    tr["text_lut"] = {k: ["FR " + t for t in v] for k, v in tr["text_lut"].items()}
    tr["lng_name"] = "Français"
    tr["ver_hash"] = game["ver_hash"].split(" : ")[0] + " : 0000"
    return tr


# -- data_hash --

def test_data_hash_matches_its_definition(game):
    assert verbix.data_hash(game) == fingerprint(game)
    assert game["ver_hash"].endswith(" : " + verbix.data_hash(game))


def test_data_hash_of_an_empty_record():
    empty = hashlib.sha256(b"").hexdigest()
    assert verbix.data_hash(verbix.data_new()) == empty[:16] + empty[:4]


def test_data_hash_on_unusual_maps():
    for rec in [{"a": {"é": 1, "z": 2}, "b": {"z": 3}, "imgs": {"x": b""}, "n": 5},
                {"sections": {"s": []}, "img_data": {}}, {}]:
        assert verbix.data_hash(rec) == fingerprint(rec)


def test_data_hash_of_many_ids_sharing_long_prefixes():
    # Enough ids for the core's radix sort, most alike in their first eight bytes and some
    # differing only after them, or by a NUL, or in letters beyond ASCII.
    rng = random.Random(3)
    stems = ["", "a", "ch01_int", "ch01_intro", "ch01_intro\0", "é", "日本語", "\U0001f600x"]
    ids = {rng.choice(stems) + "".join(rng.choice("az09_\0é") for _ in range(rng.randrange(7)))
           for _ in range(40000)}
    ids = sorted(ids)
    rng.shuffle(ids)
    rec = {"text_lut": {k: [] for k in ids[::2]}, "sys_lbls": {k: "" for k in ids[1::2]},
           "img_data": {k: b"" for k in ids[:5000]}}
    assert verbix.data_hash(rec) == fingerprint(rec)


# -- data_compare --

def drop_first(table):
    def damage(tr):
        del tr[table][next(iter(tr[table]))]
    return damage


def relabel(tr):
    tr["ver_hash"] = "Episode 9 : x"


MISSING = "Target dialogue is missing content.\nTry updating."
OUTCOMES = [
    # what, damage to the translation, passes, first message (None: "Version not supported")
    ("same ids", lambda tr: None, True, None),
    ("other label", relabel, False, None),
    ("label missing", drop_first("sys_lbls"), False, None),
    # An item's id stays in the fingerprint through its description; the table check finds it.
    ("item name missing", drop_first("item_lut"), False, MISSING),
    ("section missing", drop_first("sections"), False, MISSING),
]


@pytest.mark.parametrize("what,damage,passes,message", OUTCOMES, ids=[o[0] for o in OUTCOMES])
def test_outcomes_and_the_stamp_in_the_callers_dict(utils, recorder, game, what, damage, passes,
                                                    message):
    tr = translation(game)
    damage(tr)
    old = tr["ver_hash"]
    label = old.split(" : ")[0]
    assert verbix.data_compare(tr, game, recorder) is passes
    stamped = label + " : " + fingerprint(tr) == game["ver_hash"]
    assert tr["ver_hash"] == (game["ver_hash"] if stamped else old)
    if passes:
        assert recorder.calls == []
    elif message:
        assert stamped and recorder.calls == [("append_log", message)]
    else:
        assert recorder.calls == [("append_log", "\nVersion not supported: " + label + " : "
                                   + fingerprint(tr) + " != " + game["ver_hash"])]


def test_translation_read_back_from_its_text_passes_with_a_warning(utils, game):
    for key in game["sections"]:
        if key not in verbix.SECTIONS:
            verbix.SECTIONS.append(key)
    data, _ = verbix.txt_2_dat(verbix.dat_2_txt(game))
    data["ver_hash"] = game["ver_hash"].split(" : ")[0] + " : stale"
    assert verbix.data_compare(data, game) is True  # no images in a text project
    assert "WARNING: Images missing." in utils._output
    assert data["ver_hash"] == game["ver_hash"][:-4] + fingerprint(data)[16:]


def test_next_release_is_not_supported(utils, recorder):
    old, new = gen.make_record("tiny", version=1), gen.make_record("tiny", version=2)
    assert verbix.data_compare(translation(old), new, recorder) is False
    assert recorder.calls[0][1].startswith("\nVersion not supported: ")


@pytest.mark.parametrize("stamp", ["", "no separator", None])
def test_version_not_available_goes_to_the_log_only(utils, recorder, game, stamp):
    tr = translation(game)
    tr["ver_hash"] = stamp
    assert verbix.data_compare(tr, game, recorder) is False
    assert recorder.calls == []
    assert "Version N/A. Dialogue file may predate Episode 3." in utils._output
    assert tr["ver_hash"] == stamp


@pytest.mark.parametrize("answer", [True, False])
def test_missing_images_with_window_ask(utils, recorder, game, answer):
    tr = translation(game)
    tr["img_data"] = {}
    old = tr["ver_hash"]
    recorder.answer = answer
    assert verbix.data_compare(tr, game, recorder) is answer
    question = ("popup_yes_no", "Images missing.\n\nDo you want to build anyway?", "Confirm")
    if answer:
        assert recorder.calls == [question]
        assert tr["ver_hash"][:-4] == game["ver_hash"][:-4]
    else:
        assert recorder.calls == [question, ("append_log", "\nCanceling build.")]
        assert tr["ver_hash"] == old
    assert "WARNING: Images missing." not in utils._output


# -- hash_path --

def expected_path(path, n=16):
    parts = re.split(r"[\\/]", path)
    digest = sha("/".join(parts), n)
    if "[BUST]" in path.upper():
        digest += "[BUST]"
    if parts[-1].startswith("!"):
        digest = "!" + digest
    return "/".join(parts[:-1] + [digest])


def test_hash_path_on_the_games_image_keys(game):
    for key in game["img_data"]:
        for path in (key + ".png", key.replace("/", "\\") + ".png"):
            assert verbix.hash_path(path) == expected_path(path)
            assert verbix.hash_path(path, 8) == expected_path(path, 8)
