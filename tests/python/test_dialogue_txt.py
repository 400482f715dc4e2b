"""The TXT form from Python: generated game records of every size come back field for field
(nameless speakers included), DialogueMeta names the line where each key and block stands,
and failures give their messages and ({}, {}) through a window, or end the process without
one. The layout's details are the core tests' business."""

import pickle
import subprocess
import sys
import textwrap
import zlib
from pathlib import Path

import pytest

import verbix

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
import make_game_data as gen  # noqa: E402

FIELDS = ["ver_hash", "lng_name", "lng_info", "fnt_face", "fnt_size", "sys_lbls", "sys_menu",
          "actr_lut", "item_lut", "text_lut", "sections"]


def know_sections(rec):
    """What start-up does with the game's record: its section keys join SECTIONS."""
    for key in rec["sections"]:
        if key not in verbix.SECTIONS:
            verbix.SECTIONS.append(key)


def load_cached(size, version=1):
    path = gen.game_data_cache(size, version=version)
    return pickle.loads(zlib.decompress(path.read_bytes()))


@pytest.fixture(scope="module", params=[("tiny", 1), ("tiny", 2), ("small", 1), ("small", 2),
                                        ("medium", 1), ("large", 1)],
                ids=lambda p: f"{p[0]}-v{p[1]}")
def game(request):
    size, version = request.param
    rec = gen.make_record(size, version=version) if size in ("tiny", "small") else load_cached(
        size, version)
    know_sections(rec)
    return rec


@pytest.fixture(scope="module")
def written(game):
    text = verbix.dat_2_txt(game)
    data, meta = verbix.txt_2_dat(text)
    return text, data, meta


# -- Round trips --

def test_round_trip_gives_every_field_back(game, written):
    text, data, meta = written
    assert isinstance(text, str) and text.startswith("[VERSION]\n") and text.endswith("\n")
    assert list(data) == list(verbix.data_new())
    for key in FIELDS:
        assert data[key] == game[key], key
    assert data["fnt_data"] is None and data["img_data"] == {}
    # Nameless speakers are written and read back with their empty name.
    assert any(name == "" for name in game["actr_lut"].values())
    assert list(data["sections"]) == list(game["sections"])


def test_meta_names_the_line_of_every_key_and_block(game, written):
    text, data, meta = written
    lines = text.split("\n")
    assert list(meta)[0] == "format" and meta["format"] == "TXT"

    def line_at(pair):
        assert isinstance(pair, list) and len(pair) == 2 and isinstance(pair[0], int)
        return lines[pair[0] - 1]

    for table in ("sys_lbls", "sys_menu"):
        for key, value in game[table].items():
            ((number, text_),) = meta[key]
            assert text_ == value
            assert lines[number - 1].split(" : ")[0].rstrip() == key
    for key, name in game["actr_lut"].items():
        assert meta[key] == [[lines.index(f"#{key} : {name}") + 1, name]]
    texts = game["text_lut"]
    for iid, name in game["item_lut"].items():
        name_pair, desc_pair = meta[iid]
        assert line_at(name_pair) == f"#{iid} : {name}" and name_pair[1] == name
        assert line_at(desc_pair) == f"#{iid} ({name})"
        assert desc_pair[1] == "\n".join(texts[iid])
    for entries in game["sections"].values():
        for entry in entries:
            if entry["name"] == "[CHOICES]":
                for cid in entry["text"]:
                    ((number, option),) = meta[cid]
                    assert option == texts[cid][0]
                    assert lines[number - 1] == f"#{cid} : {option}"
                    assert lines[number - 1 - entry["text"].index(cid) - 1] == "[CHOICES]"
            else:
                cid = entry["text"][0]
                ((number, joined),) = meta[cid]
                assert lines[number - 1].startswith(f"#{cid} (")
                assert joined == "\n".join(texts[cid])
                assert lines[number:number + len(texts[cid])] == [": " + t for t in texts[cid]]


# -- Order of speakers and items --

def test_sort_values_order_and_types():
    out = verbix.sort_values({"k1": "bb", "k2": "a", "k3": "ab", "k4": "a"})
    assert isinstance(out, dict) and list(out) == ["k2", "k4", "k3", "k1"]
    assert out == {"k1": "bb", "k2": "a", "k3": "ab", "k4": "a"}
    # Lengths count code points, as len() does; other values sort by str().
    sample = {"a": "😀😀", "b": "abc", "c": 7, "d": "Ab"}
    assert list(verbix.sort_values(sample)) == sorted(
        sample, key=lambda k: (len(str(sample[k])), str(sample[k])))


# -- Failures --

@pytest.fixture
def sections():
    know_sections({"sections": {"ch01.json": [], "ch02.JSON": []}})


FAILURES = [
    ("empty", "", "Nothing to parse"),
    ("blank", " \n\u3000\t\n", "Nothing to parse"),
    ("broken header", "[ch01.json]\n#c1 Bob\n: x\n", "Unable to split: #c1 Bob"),
    ("content in a choice", "[ch01.json]\n[CHOICES]\n#o1 : a\n: b\n",
     "Parsing dialogue as choice: : b"),
    ("font size", "[FONT]\nFile : F\nSize : 2 8\n", "Font size is not a number: Size : 2 8"),
    ("fourth credit", "[CREDITS]\n\n\n\n1 : a\n", "Credit line out of place: 1 : a"),
]


@pytest.mark.parametrize("text,message", [f[1:] for f in FAILURES], ids=[f[0] for f in FAILURES])
def test_failure_through_a_window(utils, recorder, sections, text, message):
    assert verbix.txt_2_dat(text, recorder) == ({}, {})
    assert recorder.calls == [("append_log", "ERROR: " + message), ("save_log",),
                              ("popup_error", message, "Error")]


NO_WINDOW = textwrap.dedent("""
    import sys, verbix
    verbix.utils.CSH_WAIT = False
    verbix.utils.log_dir_and_file(sys.argv[1], "log.txt")
    print(verbix.txt_2_dat(sys.argv[2]) if sys.argv[3] == "read" else verbix.dat_2_txt({}))
    print("never printed")
""")


@pytest.mark.parametrize("what,text,message", [
    ("read", "", "Nothing to parse"),
    ("read", "[FONT]\nFile : F\nSize : x\n", "Font size is not a number: Size : x"),
    ("write", "", "Invalid data to create TXT."),
])
def test_failure_without_window_ends_the_process(tmp_path, what, text, message):
    proc = subprocess.run([sys.executable, "-c", NO_WINDOW, str(tmp_path / "logs"), text, what],
                          capture_output=True, text=True, timeout=60, stdin=subprocess.DEVNULL)
    assert proc.returncode == 1
    assert "ERROR (1): " + message in proc.stdout
    assert "never printed" not in proc.stdout
    (log,) = (tmp_path / "logs").iterdir()
    assert log.read_text(encoding="utf-8").startswith(f"ERRORS (1):\nERROR (1): {message}\n")


def test_argument_types():
    with pytest.raises(TypeError):
        verbix.txt_2_dat(b"[VERSION]\n")
    data, meta = verbix.txt_2_dat("no tags at all")
    assert data == verbix.data_new() and meta == {"format": "TXT"}
