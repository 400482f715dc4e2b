"""The project reader and the compiler from Python, with CPython as the oracle: generated games
of every size written to disk as projects (TXT or CSV, the game's images, an embedded font),
read back, and compiled. The language file is the signature and then byte for byte what
json.dumps writes for an object built here, independently, from the record."""

import base64
import json
import math
import pickle
import random
import sys
import zlib
from pathlib import Path

import pytest

import verbix

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
import make_game_data as gen  # noqa: E402

FONT = b"\x00\x01\x00\x00 fictional font bytes"


def know_sections(rec):
    for key in rec["sections"]:
        if key not in verbix.SECTIONS:
            verbix.SECTIONS.append(key)


def load_game(size):
    if size in ("tiny", "small"):
        return gen.make_record(size)
    return pickle.loads(zlib.decompress(gen.game_data_cache(size).read_bytes()))


def write_project(folder, rec, fmt):
    """The project folder as Create and a translator leave it: dialogue file, images, font."""
    folder.mkdir(parents=True)
    if fmt == "TXT":
        assert verbix.utils.txt_save(str(folder / "dialogue.txt"), verbix.dat_2_txt(rec)) == 0
    else:
        assert verbix.utils.csv_save(str(folder / "dialogue.csv"), verbix.dat_2_csv(rec, rec)) == 0
    for key, png in rec["img_data"].items():
        path = folder / (key + ".png")
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(png)
    (folder / "font").mkdir()
    (folder / "font" / "lantern-serif.ttf").write_bytes(FONT)


def expected_object(rec):
    """The language file's object, by the rules of the format, in plain Python."""
    labels = dict(rec["item_lut"])
    labels.update(rec["actr_lut"])  # an id already present keeps its place
    lines, used = {}, set()
    for entries in rec["sections"].values():
        for entry in entries:
            for cid in entry["text"]:
                used.add(cid)
                if entry["name"] == "[CHOICES]":
                    labels[cid] = rec["text_lut"][cid][0] if rec["text_lut"][cid] else ""
                else:
                    lines[cid] = rec["text_lut"][cid]
    for cid, texts in rec["text_lut"].items():
        if cid not in used:
            lines[cid] = texts
    font = rec["fnt_data"]
    return {
        "langVers": rec["ver_hash"], "langName": rec["lng_name"], "langInfo": rec["lng_info"],
        "fontFace": rec["fnt_face"], "fontSize": rec["fnt_size"],
        "fontFile": base64.b64encode(font).decode() if font else None,
        "imgFiles": {k: base64.b64encode(v).decode() for k, v in rec["img_data"].items()},
        "sysLabel": dict(rec["sys_lbls"]), "sysMenus": dict(rec["sys_menu"]),
        "labelLUT": labels, "linesLUT": lines,
    }


def compiled(tmp_path, rec, meta=None, app=None):
    out = tmp_path / "out" / (rec["lng_name"] + ".cld")
    out.parent.mkdir(exist_ok=True)
    assert verbix.compile(str(out), rec, meta, app) is True
    data = out.read_bytes()
    assert data[:8] == verbix.SIGNATURE == b"LANGDATA"
    assert data.isascii()
    return data[8:]


@pytest.mark.parametrize("size,fmt", [("tiny", "TXT"), ("small", "CSV"), ("medium", "TXT"),
                                      ("large", "CSV")])
def test_generated_projects_compile_to_what_json_dumps_writes(utils, tmp_path, size, fmt):
    game = load_game(size)
    know_sections(game)
    game["fnt_face"] = "Lantern-Serif.ttf"
    game["lng_name"] = "Lanternfall " + size
    project = tmp_path / "project"
    write_project(project, game, fmt)

    rec, meta = verbix.dir_2_dat(str(project))
    assert meta["format"] == fmt
    assert rec["img_data"] == game["img_data"]
    assert rec["fnt_data"] == FONT
    for key in ("sections", "actr_lut", "item_lut", "sys_lbls", "sys_menu"):
        assert rec[key] == game[key], key
    # Items without a description come back without a text_lut entry from the CSV form.
    assert {k: v for k, v in rec["text_lut"].items() if v} == {
        k: v for k, v in game["text_lut"].items() if v}

    doc = compiled(tmp_path, rec, meta)
    expected = expected_object(rec)
    assert json.loads(doc) == expected
    assert doc == json.dumps(expected).encode()


def test_the_compiler_leaves_its_inputs_alone(utils, tmp_path):
    rec = gen.make_record("tiny")
    before = pickle.dumps(rec)
    meta = {"format": "TXT"}
    compiled(tmp_path, rec, meta)
    assert pickle.dumps(rec) == before and meta == {"format": "TXT"}


def random_text(rng):
    """Texts over every plane: controls, quotes, backslashes, accents, CJK, emoji, the ends
    of the planes (no lone surrogates, which a Python str cannot pass to the tool)."""
    pools = [(0, 0x7F), (0x80, 0x7FF), (0x800, 0xD7FF), (0xE000, 0xFFFF), (0x10000, 0x10FFFF)]
    out = []
    for _ in range(rng.randrange(0, 12)):
        lo, hi = rng.choice(pools)
        out.append(chr(rng.randint(lo, hi)))
    return "".join(out) + rng.choice(["", '"', "\\", "\u2028", "\x7f", "\uffff"])


def test_every_character_is_escaped_as_json_dumps_does(utils, tmp_path):
    rng = random.Random(5)
    rec = verbix.data_new()
    rec["lng_name"] = "escapes"
    rec["sys_lbls"] = {random_text(rng): random_text(rng) for _ in range(400)}
    rec["text_lut"] = {random_text(rng): [random_text(rng) for _ in range(3)] for _ in range(400)}
    rec["lng_info"] = [random_text(rng) for _ in range(3)]
    doc = compiled(tmp_path, rec)
    assert doc == json.dumps(expected_object(rec)).encode()


@pytest.mark.parametrize("size", [28, -3, 2**63 - 1, 0.1, 1e16, 1e15, 1e-5, 1e-4, -0.0, 1.5e300,
                                  5e-324, math.inf, -math.inf, math.nan, "28", None, True])
def test_font_sizes_of_any_kind_are_written_as_json_dumps_does(utils, tmp_path, size):
    rec = verbix.data_new()
    rec["fnt_size"] = size
    assert compiled(tmp_path, rec) == json.dumps(expected_object(rec)).encode()


def test_values_json_cannot_hold_fail_the_build_and_keep_the_old_file(utils, tmp_path,
                                                                      recorder):
    out = tmp_path / "English.cld"
    out.write_bytes(b"previous")
    rec = verbix.data_new()
    rec["sys_lbls"] = {"raw": b"bytes"}
    assert verbix.compile(str(out), rec, None, recorder) is False
    assert recorder.calls[-1] == (
        "append_log", f"Failed to build: {out} Exception: Object of type bytes is not JSON "
                      "serializable")
    assert out.read_bytes() == b"previous"
    assert [p.name for p in tmp_path.iterdir() if p.name != "logs"] == ["English.cld"]


def test_module_buff_2_str_never_compresses():
    for data in (b"", b"a", b"ab", b"abc", bytes(range(256)) * 3):
        assert verbix.buff_2_str(data) == base64.b64encode(data).decode()
    assert verbix.buff_2_str(bytearray(b"xyz")) == "eHl6"
    with pytest.raises(TypeError, match="bytes-like object is required, not 'str'"):
        verbix.buff_2_str("text")


def test_reader_failures_give_the_empty_pair(utils, tmp_path, recorder):
    assert verbix.dir_2_dat(str(tmp_path), recorder) == ({}, {})
    assert ("append_log", "Target folder missing dialogue file.") in recorder.calls
    assert verbix.dlg_file(str(tmp_path)) == ""
    assert verbix.dir_pngs(str(tmp_path / "img"), recorder) == {}
