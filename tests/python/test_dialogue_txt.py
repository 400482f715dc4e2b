"""The TXT form from Python: generated game records of every size come back field for field,
DialogueMeta names the line where each key and block stands, the writer's layout is exact,
the mended cases keep the translator's text, and failures give their messages and ({}, {})
through a window, or end the process without one."""

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


def test_round_trip_of_a_translated_record(game):
    if len(game["text_lut"]) > 5000:
        pytest.skip("the small records carry every kind of text already")
    fr = pickle.loads(pickle.dumps(game))
    fr.update(lng_name="Français", fnt_face="Noto Sans", fnt_size=30,
              lng_info=["Histoire : Mara", "Texte: Zoé (FR)", "Merci ❤"])
    fr["text_lut"] = {k: [f"FR: {t} (vf)" for t in v] for k, v in fr["text_lut"].items()}
    fr["sys_lbls"] = {k: "«" + v + "» : ok" for k, v in fr["sys_lbls"].items()}
    data, _ = verbix.txt_2_dat(verbix.dat_2_txt(fr))
    for key in FIELDS:
        assert data[key] == fr[key], key


# -- The writer's exact layout --

def test_empty_record_with_one_menu_line_by_line():
    rec = verbix.data_new()
    rec["sys_menu"]["start"] = "Start"
    assert verbix.dat_2_txt(rec).split("\n") == [
        "[VERSION]", "", "", "[LANGUAGE]", "English", "", "[FONT]", "File : GameFont",
        "Size : 28", "", "[CREDITS]", "1 : ", "2 : ", "3 : ", "", "[LABELS]", "", "[MENUS]",
        "start : Start", "", "[SPEAKERS]", "", "[ITEMS]", "", "[DESCRIPTIONS]", ""]


def test_menu_colons_stand_in_one_column():
    rec = verbix.data_new()
    rec["sys_menu"].update({"a": "x", "long": "y", "ñé": "z"})
    text = verbix.dat_2_txt(rec)
    assert "\n[MENUS]\na    : x\nlong : y\nñé   : z\n" in text


def test_sort_values_order_and_types():
    out = verbix.sort_values({"k1": "bb", "k2": "a", "k3": "ab", "k4": "a"})
    assert isinstance(out, dict) and list(out) == ["k2", "k4", "k3", "k1"]
    assert out == {"k1": "bb", "k2": "a", "k3": "ab", "k4": "a"}
    # Lengths count code points, as len() does; other values sort by str().
    sample = {"a": "😀😀", "b": "abc", "c": 7, "d": "Ab"}
    assert list(verbix.sort_values(sample)) == sorted(
        sample, key=lambda k: (len(str(sample[k])), str(sample[k])))


def test_writer_shows_nameless_and_unknown_speakers_as_narrator():
    rec = verbix.data_new()
    rec["actr_lut"] = {"mute": "", "bob": "Bob"}
    rec["text_lut"] = {"c1": ["a"], "c2": ["b"]}
    rec["sections"] = {"s.json": [{"name": "mute", "text": ["c1"]},
                                  {"name": "ghost", "text": ["c2"]},
                                  {"name": "[CHOICES]", "text": ["o1"]}]}
    text = verbix.dat_2_txt(rec)
    assert "\n[SPEAKERS]\n#mute : \n#bob : Bob\n" in text
    assert text.endswith("\n\n[s.json]\n\n#c1 (Narrator)\n: a\n\n#c2 (Narrator)\n: b\n"
                         "\n[CHOICES]\n#o1 : N/A\n")


# -- Reader cases that lose text when read naively --

@pytest.fixture
def sections():
    know_sections({"sections": {"ch01.json": [], "ch02.JSON": []}})


def test_colons_and_parentheses_inside_values(sections):
    data, meta = verbix.txt_2_dat(textwrap.dedent("""\
        [FONT]
        File : Noto: Bold
        Size : 30
        [CREDITS]
        1 : Story: Mara
        2 : a : b : c
        3 : x
        [ch01.json]
        [CHOICES]
        #o1 : Réponse : oui
        #o2 : Leave (quietly)
        #o3 (no): thanks
        #c1 (Bob)
        : after
        """))
    assert data["fnt_face"] == "Noto: Bold" and data["fnt_size"] == 30
    assert data["lng_info"] == ["Story: Mara", "a : b : c", "x"]
    assert data["sections"]["ch01.json"] == [
        {"name": "[CHOICES]", "text": ["o1", "o2"]}, {"name": "", "text": ["o3"]},
        {"name": "", "text": ["c1"]}]
    assert data["text_lut"]["o1"] == ["Réponse : oui"]
    assert data["text_lut"]["o2"] == ["Leave (quietly)"]
    assert meta["o2"] == [[11, "Leave (quietly)"]]


def test_byte_order_mark_keeps_the_version(sections):
    data, meta = verbix.txt_2_dat("\ufeff[VERSION]\nv1 : abc\n\n[LABELS]\nok : OK\n")
    assert data["ver_hash"] == "v1 : abc"
    assert meta["ok"] == [[5, "OK"]]


def test_one_pair_per_block_when_it_closes(sections):
    text = ("[SPEAKERS]\n#s1 : Bob\n[ch01.json]\n#c1 (Bob)\n: one\n: two\n[CHOICES]\n"
            "#o1 : yes\n#c2 (Bob)\n: three\n[ch02.JSON]\n#c3 (Bob)\n")
    data, meta = verbix.txt_2_dat(text)
    assert meta == {"format": "TXT", "s1": [[2, "Bob"]], "c1": [[4, "one\ntwo"]],
                    "o1": [[8, "yes"]], "c2": [[9, "three"]], "c3": [[12, ""]]}


def test_unknown_tag_is_logged_and_skipped(utils, recorder, sections):
    data, meta = verbix.txt_2_dat("[LABELS]\na : 1\n[NOTES]\nb : 2\n[LABELS]\nc : 3\n",
                                  recorder)
    assert data["sys_lbls"] == {"a": "1", "c": "3"}
    assert "Section tag not recognized [NOTES] at line (3). Skipping..." in utils._output
    assert recorder.calls == []  # the window is not told


# -- Failures --

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


def test_damaged_writer_output(utils, recorder, game, written):
    if len(game["text_lut"]) > 5000:
        pytest.skip("one damage per small record is enough")
    text = written[0]
    lines = text.split("\n")
    header = next(i for i, l in enumerate(lines) if l.startswith("#") and l.endswith(")")
                  and i > lines.index("[DESCRIPTIONS]") + 1)
    choice = lines.index("[CHOICES]")
    for at, new, message in [
            (header, lines[header].split(" (")[0], "Unable to split: " + lines[header].split(" (")[0]),
            (choice + 1, lines[choice + 1] + "\n: stray", "Parsing dialogue as choice: : stray")]:
        damaged = lines[:at] + [new] + lines[at + 1:]
        recorder.calls.clear()
        assert verbix.txt_2_dat("\n".join(damaged), recorder) == ({}, {})
        assert recorder.calls[0] == ("append_log", "ERROR: " + message)


def test_invalid_record_gives_no_text(utils, recorder):
    for bad in ({}, [], "text", {**verbix.data_new(), "extra": 1}):
        recorder.calls.clear()
        assert verbix.dat_2_txt(bad, recorder) == ""
        assert recorder.calls[-1] == ("popup_error", "Invalid data to create TXT.", "Error")


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
