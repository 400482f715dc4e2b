"""The language data record from Python: data_new, data_is_valid, and the constant lists,
with SECTIONS shared between Python and the core's readers."""

from collections import OrderedDict

import pytest

import verbix

KEYS = ["ver_hash", "lng_name", "lng_info", "fnt_face", "fnt_size", "fnt_data", "sys_lbls",
        "sys_menu", "actr_lut", "item_lut", "text_lut", "img_data", "sections"]
MAPS = ["sys_lbls", "sys_menu", "actr_lut", "item_lut", "text_lut", "img_data", "sections"]


def test_data_new_holds_the_thirteen_keys_in_order():
    d = verbix.data_new()
    assert list(d) == KEYS
    assert d == {"ver_hash": "", "lng_name": "English", "lng_info": ["", "", ""],
                 "fnt_face": "GameFont", "fnt_size": 28, "fnt_data": None,
                 **{k: {} for k in MAPS}}
    assert type(d["fnt_size"]) is int


def test_fresh_records_share_no_list_or_map():
    a, b = verbix.data_new(), verbix.data_new()
    a["lng_info"].append("x")
    a["text_lut"]["id"] = ["line"]
    assert b["lng_info"] == ["", "", ""] and b["text_lut"] == {}
    assert all(a[k] is not b[k] for k in ["lng_info", *MAPS])


def record(**changes):
    d = verbix.data_new()
    for k, v in changes.items():
        if v is KeyError:
            del d[k]
        else:
            d[k] = v
    return d


VALIDITY = [
    ("fresh", verbix.data_new(), True),
    ("with data", record(text_lut={"a1": ["Hi"]}, sections={"c.json": [{"name": "", "text": ["a1"]}]}),
     True),
    ("reversed key order", dict(reversed(list(verbix.data_new().items()))), True),
    ("a dict subclass", OrderedDict(verbix.data_new()), True),
    ("empty dict", {}, False),
    ("None", None, False),
    ("a list", [], False),
    ("a text", "lang", False),
    ("extra key", record(extra=1), False),
    ("fnt_data a dict", record(fnt_data={}), False),
    ("fnt_size as text", record(fnt_size="28"), True),
    ("sections a list", record(sections=[]), True),
] + [(f"without {k}", record(**{k: KeyError}), False) for k in KEYS]


@pytest.mark.parametrize("name, value, valid", VALIDITY, ids=[v[0] for v in VALIDITY])
def test_data_is_valid(name, value, valid):
    assert verbix.data_is_valid(value) is valid


def test_constant_lists():
    assert verbix.SECTION_HEADER == ["ID", "Source", "English", "Translation"]
    assert verbix.FONT_TYPES == [".ttf", ".otf", ".eot", ".svg", ".woff", ".woff2"]
    assert verbix.FONT_FACES == ["gamefont", "verdana", "arial", "courier new"]
    assert verbix.SECTIONS[:9] == ["VERSION", "LANGUAGE", "FONT", "CREDITS", "LABELS", "MENUS",
                                   "SPEAKERS", "ITEMS", "DESCRIPTIONS"]


def test_sections_is_one_list_and_behaves_like_one():
    s = verbix.SECTIONS
    assert s is verbix.SECTIONS
    n = len(s)
    assert s[0] == "VERSION" and s[-1] == s[n - 1] and list(s) == s.copy()
    assert "FONT" in s and "nope" not in s and 5 not in s
    assert s.index("FONT") == 2 and s.count("FONT") == 1
    with pytest.raises(IndexError):
        s[n]
    assert repr(s) == repr(list(s))


def test_what_python_appends_to_sections_the_core_reader_sees():
    record = verbix.data_new()
    record["text_lut"]["a1b2c3d4"] = ["Hello"]
    record["sections"]["zz_probe_7.json"] = [{"name": "", "text": ["a1b2c3d4"]}]
    text = verbix.dat_2_txt(record)
    assert "zz_probe_7.json" not in verbix.SECTIONS
    assert verbix.txt_2_dat(text)[0]["sections"] == {}
    verbix.SECTIONS.append("zz_probe_7.json")
    assert verbix.SECTIONS[-1] == "zz_probe_7.json"
    assert verbix.txt_2_dat(text)[0]["sections"] == record["sections"]
