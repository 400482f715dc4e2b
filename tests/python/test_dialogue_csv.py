"""The CSV form from Python: the file that the writer's rows make is the file CPython's csv
module reads and writes; generated game records come back through save, load and read; a
translation fills the Translation cells; failures name the row as CPython's repr() shows it."""

import copy
import csv
import io
import random
import subprocess
import sys
import textwrap
from pathlib import Path

import pytest

import verbix

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
import make_game_data as gen  # noqa: E402

@pytest.fixture(scope="module", params=[(s, v) for s in ("tiny", "small") for v in (1, 2)],
                ids=lambda p: f"{p[0]}-v{p[1]}")
def rec(request):
    return gen.make_record(request.param[0], version=request.param[1])


def save_and_load(utils, tmp_path, rows):
    path = tmp_path / "dialogue.csv"
    assert utils.csv_save(str(path), rows) == 0
    return path, utils.csv_load(str(path))


def translate(rec):
    """A French translation of the record: every text, name, header value and line."""
    fr = copy.deepcopy(rec)
    fr.update(lng_name="Français", fnt_face="Noto Sans", fnt_size=30,
              lng_info=["fr: " + c for c in rec["lng_info"]], img_data={})
    for table in ("sys_lbls", "sys_menu", "actr_lut", "item_lut"):
        fr[table] = {k: "FR " + v for k, v in rec[table].items()}
    fr["text_lut"] = {k: ["FR " + line for line in v] for k, v in rec["text_lut"].items()}
    return fr


# The file


def test_cpython_reads_and_writes_the_same_file(utils, tmp_path, rec):
    rows = verbix.dat_2_csv(rec)
    path, _ = save_and_load(utils, tmp_path, rows)
    with open(path, newline="", encoding="utf-8") as f:
        assert list(csv.reader(f)) == rows
    out = io.StringIO(newline="")
    csv.writer(out).writerows(rows)
    assert path.read_bytes() == out.getvalue().encode("utf-8")


# Round trips


def test_round_trip_gives_back_the_record(utils, tmp_path, rec):
    _, rows = save_and_load(utils, tmp_path, verbix.dat_2_csv(rec))
    dat, meta = verbix.csv_2_dat(rows)
    for key in ("ver_hash", "lng_name", "lng_info", "fnt_face", "fnt_size", "sys_lbls",
                "actr_lut", "item_lut"):
        assert dat[key] == rec[key], key
    assert any(not name for name in rec["actr_lut"].values())  # nameless speakers kept
    # Untranslated menu entries are written with their English text, not read back as keys.
    assert dat["sys_menu"] == {k: v if v.strip() else k for k, v in rec["sys_menu"].items()}
    assert dat["text_lut"] == {k: v for k, v in rec["text_lut"].items() if v}
    assert list(dat["sections"]) == list(rec["sections"])
    assert dat["sections"] == rec["sections"]  # narrator blocks: the empty speaker id
    assert dat["fnt_data"] is None and dat["img_data"] == {}
    assert list(meta)[0] == "format" and meta["format"] == "CSV"


def test_meta_names_each_row(utils, tmp_path, rec):
    _, rows = save_and_load(utils, tmp_path, verbix.dat_2_csv(rec))
    _, meta = verbix.csv_2_dat(rows)

    def row(n):
        return rows[n - 1]

    for table, cell in (("sys_lbls", 1), ("actr_lut", 1), ("item_lut", 1)):
        for key, value in rec[table].items():
            num, text = meta[key][0]
            assert text == value and row(num)[0] == key and row(num)[cell] == value
    for key, value in rec["sys_menu"].items():
        ((num, text),) = meta[key]
        assert text == (value if value.strip() else key) and row(num) == [key, value]
    for iid, name in rec["item_lut"].items():
        desc = rec["text_lut"][iid]
        assert len(meta[iid]) == (2 if desc else 1)
        if desc:
            num, text = meta[iid][1]
            assert text == "\n".join(desc) and row(num)[:3] == [iid, name, desc[0]]
            assert row(num - 1)[0] != iid
    for entries in rec["sections"].values():
        for entry in entries:
            if entry["name"] == "[CHOICES]":
                for i, oid in enumerate(entry["text"], 1):
                    ((num, text),) = meta[oid]
                    assert row(num) == [oid, f"CHOICE({i})", text, ""]
                    assert text == rec["text_lut"][oid][0]
            else:
                (cid,) = entry["text"]
                ((num, text),) = meta[cid]
                assert text == "\n".join(rec["text_lut"][cid])
                assert row(num)[0] == cid and row(num - 1)[0] != cid


def test_translation_fills_the_translation_cells_and_reads_back(utils, tmp_path, rec):
    fr = translate(rec)
    rows = verbix.dat_2_csv(rec, fr)
    assert rows[1] == [fr["ver_hash"]] and rows[4] == ["Français", "Noto Sans", "30"]
    assert rows[7] == fr["lng_info"]
    for r in rows:
        if r and r[0] in rec["sys_lbls"]:
            assert r == [r[0], rec["sys_lbls"][r[0]], fr["sys_lbls"][r[0]]]
    _, loaded = save_and_load(utils, tmp_path, rows)
    dat, _ = verbix.csv_2_dat(loaded)
    for key in ("ver_hash", "lng_name", "lng_info", "fnt_face", "fnt_size", "sys_lbls",
                "sys_menu", "actr_lut", "item_lut"):
        assert dat[key] == fr[key], key
    assert dat["text_lut"] == {k: v for k, v in fr["text_lut"].items() if rec["text_lut"][k]}
    assert ([[e["text"] for e in s] for s in dat["sections"].values()] ==
            [[e["text"] for e in s] for s in rec["sections"].values()])


# Failures, and how they name the row


def tricky_text(rng):
    pool = ["a", "Z", " ", "'", '"', "\\", "\t", "\n", "\r", "\x00", "\x1b", "\x7f", "\x85",
            "\xa0", "\xad", "é", "花", "\u0378", "\u200b", "\u2028", "\u3000", "\ue000", "\ufeff",
            "\U0001F408", "\U000E0001", "\U0010FFFF", ",", "CHOICE(1)"]
    out = []
    for _ in range(rng.randint(0, 6)):
        if rng.random() < 0.2:
            cp = rng.randrange(0x110000)
            out.append(chr(cp) if not 0xD800 <= cp <= 0xDFFF else "x")
        else:
            out.append(rng.choice(pool))
    return "".join(out)


def expect_failure(recorder, result, msg):
    assert result == ({}, {})
    assert recorder.calls == [("append_log", "ERROR: " + msg), ("save_log",),
                              ("popup_error", msg, "Error")]


def test_row_descriptions_match_cpython_repr(utils, recorder):
    rng = random.Random(4)
    for _ in range(300):
        recorder.calls.clear()
        row = [tricky_text(rng), tricky_text(rng)]
        row[0] = "k" + row[0]  # a first cell that is not empty and names no block
        result = verbix.csv_2_dat([["Labels", "English", "Translation"], row], recorder)
        expect_failure(recorder, result, f"Row expects 3 columns and has 2 cols: 2 - {row!r}")


@pytest.mark.parametrize("p_csv", ["rows", None, ({},), {"a": 1}, [["ok"], "not a row"]],
                         ids=["str", "none", "tuple", "dict", "bad-row"])
def test_data_that_is_not_rows(utils, recorder, p_csv):
    expect_failure(recorder, verbix.csv_2_dat(p_csv, recorder), "Invalid CSV data type.")


CRASH = textwrap.dedent("""
    import sys, verbix
    verbix.utils.CSH_WAIT = False
    verbix.utils.log_dir_and_file(sys.argv[1], "log.txt")
    verbix.csv_2_dat(eval(sys.argv[2]))
    print("never printed")
""")


@pytest.mark.parametrize("p_csv, line", [
    ("'rows'", "ERROR (1): Invalid CSV data type."),
    ("[['Labels'], ['ok', 'OK']]", "ERROR (1): Row expects 3 columns and has 2 cols: 2 - ['ok', 'OK']"),
])
def test_without_window_a_failure_ends_the_process(tmp_path, p_csv, line):
    proc = subprocess.run([sys.executable, "-c", CRASH, str(tmp_path / "logs"), p_csv],
                          stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=60)
    assert proc.returncode == 1
    assert line in proc.stdout.splitlines()
    assert "never printed" not in proc.stdout


def test_invalid_records_give_no_rows(utils, recorder, rec):
    assert verbix.dat_2_csv({}, p_app=recorder) == []
    broken = dict(rec)
    del broken["img_data"]
    assert verbix.dat_2_csv(rec, broken, recorder) == []
    assert verbix.dat_2_csv(rec, None) == verbix.dat_2_csv(rec)  # None: no translation
    assert recorder.calls == [("append_log", "Invalid English data, can't create CSV."),
                              ("append_log", "Invalid translation data, can't create CSV.")]


# The predicates and the block table, as Python sees them


def test_csv_blocks_in_order():
    assert list(verbix.CSV_BLOCKS.items()) == [
        ("MENUS", 2), ("ITEMS", 3), ("LABELS", 3), ("VERSION", 1), ("SECTION", 4),
        ("CREDIT 1", 3), ("SPEAKERS", 3), ("LANGUAGE", 3), ("DESCRIPTIONS", 4)]


def test_predicates_take_lists_and_tuples():
    assert verbix.is_section_header(("IDSource", "EnglishTranslation"))
    assert not verbix.new_block("ITEMS", None, ["items", "Bag of items", ""])


# Spreadsheets


@pytest.mark.parametrize("dialect", [dict(delimiter=";"), dict(dialect="excel-tab")],
                         ids=["semicolon", "tab"])
def test_other_separators_read_to_the_same_record(utils, tmp_path, rec, dialect):
    rows = verbix.dat_2_csv(gen.translate_record(rec), rec)
    comma = verbix.csv_2_dat(save_and_load(utils, tmp_path, rows)[1])
    path = tmp_path / "other.csv"
    with open(path, "w", newline="", encoding="utf-8-sig") as f:
        csv.writer(f, **dialect).writerows(rows)
    assert utils.csv_load(str(path)) == rows
    assert verbix.csv_2_dat(utils.csv_load(str(path))) == comma


def test_a_windows_1252_file_gives_one_message_naming_the_fix(utils, tmp_path, recorder):
    rows = [["Version"], ["1.0"], [], ["Language", "Font File", "Font Size"], ["x", "y", "1"],
            [], ["Labels", "English", "Translation"], ["ok", "OK", "D\u00e9j\u00e0 vu"]]
    path = tmp_path / "dialogue.csv"
    with open(path, "w", newline="", encoding="cp1252") as f:
        csv.writer(f).writerows(rows)
    assert verbix.dlg_data(str(path), recorder) == ({}, {})
    boxes = [c for c in recorder.calls if c[0] == "popup_error"]
    assert boxes == [("popup_error", "dialogue.csv is not UTF-8 text (row 8): save it as CSV "
                      "UTF-8 and try again.", "Error")]
