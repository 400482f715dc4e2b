"""The fictional game data generator: records shaped as the game writes them, texts that the
dialogue forms carry unchanged, a fingerprint recomputed here from its definition, valid PNGs,
a next release that differs as designed, and repeatable output."""

import hashlib
import pickle
import struct
import sys
import zlib
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
import make_game_data as gen  # noqa: E402

KEYS = ["ver_hash", "lng_name", "lng_info", "fnt_face", "fnt_size", "fnt_data", "sys_lbls",
        "sys_menu", "actr_lut", "item_lut", "text_lut", "img_data", "sections"]
RENAMED = {"yrrRQ30Q": "w7ZvbBvC", "lcmDVkXT": "4yhN4h9P", "cT2mmJwp": "DCRBH5zy",
           "GXCRgnRB": "DxhMltBG"}


@pytest.fixture(scope="module", params=[(s, v) for s in ("tiny", "small") for v in (1, 2)],
                ids=lambda p: f"{p[0]}-v{p[1]}")
def rec(request):
    return gen.make_record(*request.param[:1], version=request.param[1])


def strings(value):
    if isinstance(value, str):
        yield value
    elif isinstance(value, dict):
        for k, v in value.items():
            yield k
            yield from strings(v)
    elif isinstance(value, list):
        for v in value:
            yield from strings(v)


def fingerprint(rec):
    ids = set(rec["sys_lbls"]) | set(rec["sys_menu"]) | set(rec["actr_lut"]) | set(
        rec["item_lut"]) | set(rec["text_lut"])
    sha = lambda t: hashlib.sha256(t.encode()).hexdigest()
    return sha("".join(sorted(ids)))[:16] + sha("".join(sorted(rec["img_data"])))[:4]


def test_record_has_the_game_shape(rec):
    assert list(rec) == KEYS
    assert (rec["lng_name"], rec["fnt_face"], rec["fnt_size"], rec["fnt_data"]) == (
        "English", "GameFont", 28, None)
    assert len(rec["lng_info"]) == 3 and all(isinstance(t, str) for t in rec["lng_info"])
    texts, speakers = rec["text_lut"], rec["actr_lut"]
    for iid in rec["item_lut"]:
        assert isinstance(texts[iid], list)
    kinds = set()
    for key, entries in rec["sections"].items():
        assert "json" in key.lower()
        for entry in entries:
            assert list(entry) == ["name", "text"]
            assert entry["text"] and all(cid in texts for cid in entry["text"])
            if entry["name"] == "[CHOICES]":
                kinds.add("choice")
                assert 2 <= len(entry["text"]) <= 4
                assert all(len(texts[cid]) == 1 for cid in entry["text"])
            else:
                kinds.add("talk" if entry["name"] else "narrator")
                assert len(entry["text"]) == 1 and len(entry["text"][0]) == 8
                assert 1 <= len(texts[entry["text"][0]]) <= 4
                assert entry["name"] == "" or speakers[entry["name"]] != ""
    assert kinds == {"choice", "talk", "narrator"}
    assert "" in speakers.values()


def test_texts_survive_the_dialogue_forms(rec):
    assert not [s for s in strings(rec) if "\n" in s or "\r" in s]
    options = [rec["text_lut"][c][0] for es in rec["sections"].values() for e in es
               if e["name"] == "[CHOICES]" for c in e["text"]]
    assert not [o for o in options if ":" in o or "(" in o]
    names = [n for n in rec["actr_lut"].values() if n]
    assert len(names) == len(set(names)) and "Narrator" not in names
    assert not [n for n in names if "(" in n or n.endswith(")") or not n.strip()]
    assert not [c for c in rec["lng_info"] if ":" in c or c != c.strip()]
    for table in ("sys_lbls", "sys_menu", "actr_lut", "item_lut"):
        assert not [k for k in rec[table] if ":" in k or k != k.strip() or k[0] in "[#"]


def test_tiny_lines_carry_every_kind_of_character():
    lines = [t for ts in gen.make_record("tiny")["text_lut"].values() for t in ts]
    for probe in ("é", "灯", "🎉", '"', "“", ",", ":", "(", "\u3000"):
        assert any(probe in t for t in lines), probe
    assert any(t.startswith(" ") for t in lines) and any(t.endswith(" ") for t in lines)


def test_ver_hash_is_label_and_fingerprint(rec):
    label, fp = rec["ver_hash"].split(" : ")
    assert label.startswith("Episode") and fp == fingerprint(rec)


def test_images_are_valid_pngs(rec):
    keys = list(rec["img_data"])
    assert len({k.lower() for k in keys}) == len(keys)
    assert not [k for k in keys if not k.startswith("img/") or k.endswith(".png") or "\\" in k]
    for key, png in rec["img_data"].items():
        assert png[:8] == b"\x89PNG\r\n\x1a\n", key
        pos, chunks = 8, {}
        while pos < len(png):
            (n,) = struct.unpack(">I", png[pos:pos + 4])
            kind, data = png[pos + 4:pos + 8], png[pos + 8:pos + 8 + n]
            assert struct.unpack(">I", png[pos + 8 + n:pos + 12 + n])[0] == zlib.crc32(kind + data)
            chunks[kind] = chunks.get(kind, b"") + data
            pos += 12 + n
        w, h, depth, color = struct.unpack(">IIBB", chunks[b"IHDR"][:10])
        assert depth == 8 and color in (2, 6)
        assert len(zlib.decompress(chunks[b"IDAT"])) == h * (1 + w * (4 if color == 6 else 3))
        assert list(chunks)[-1] == b"IEND"


def test_next_version_differs_as_designed():
    old, new = gen.make_record("small", version=1), gen.make_record("small", version=2)
    assert old["ver_hash"].split(" : ")[0] < new["ver_hash"].split(" : ")[0]
    assert fingerprint(old)[:16] != fingerprint(new)[:16]
    assert fingerprint(old)[16:] != fingerprint(new)[16:]
    where = lambda rec, cid: next(k for k, es in rec["sections"].items()
                                  for e in es if cid in e["text"])
    for was, now in RENAMED.items():
        assert was in old["text_lut"] and was not in new["text_lut"]
        assert now in new["text_lut"] and now not in old["text_lut"]
        assert where(old, was) == where(new, now)
    for table in ("sys_lbls", "actr_lut", "item_lut", "text_lut"):
        a, b = set(old[table]) - set(RENAMED), set(new[table]) - set(RENAMED.values())
        assert a - b and b - a, table
        assert len(a & b) > 0.8 * len(a), table
    assert set(new["sys_menu"]) > set(old["sys_menu"])
    assert list(new["sections"])[:-1] == list(old["sections"])
    assert old["img_data"]["img/ui/title"] != new["img_data"]["img/ui/title"]
    assert set(old["img_data"]) - set(new["img_data"]) and set(new["img_data"]) - set(old["img_data"])


def test_same_seed_same_bytes_other_seed_other_story():
    a, b = gen.make_record("small", 3), gen.make_record("small", 3)
    assert gen.encode(a) == gen.encode(b)
    assert gen.make_record("small", 4)["text_lut"] != a["text_lut"]


@pytest.mark.parametrize("protocol", range(6))
def test_lang_dat_is_zlib_of_a_pickle(tmp_path, protocol):
    path = tmp_path / "lang.dat"
    rec = gen.write_lang_dat(path, "tiny", protocol=protocol)
    data = path.read_bytes()
    assert data[:2] == b"\x78\x9c"
    raw = zlib.decompress(data)
    if protocol >= 2:
        assert raw[:2] == bytes([0x80, protocol])
    assert pickle.loads(raw) == rec


def test_cache_writes_once_and_reuses(tmp_path, monkeypatch):
    monkeypatch.setenv("VERBIX_DATA_CACHE", str(tmp_path / "cache"))
    path = gen.game_data_cache("tiny", version=2)
    assert path.parent == tmp_path / "cache"
    assert pickle.loads(zlib.decompress(path.read_bytes())) == gen.make_record("tiny", version=2)
    monkeypatch.setattr(gen, "write_lang_dat", lambda *a, **k: pytest.fail("rewritten"))
    assert gen.game_data_cache("tiny", version=2) == path
