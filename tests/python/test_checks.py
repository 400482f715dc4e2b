"""The build checks through `verbix-cli lint` and Build, on generated game data and fonts made
by fontTools' FontBuilder: the font's character map read as fontTools reads it, damaged fonts
refused with one warning, clean translations without problems, spreadsheet damage found
exactly, and Build's question in the real window answered No and Yes."""

import io
import json
import random
import sys
import unicodedata
from pathlib import Path

import pytest
from fontTools.ttLib import TTFont

import verbix
from test_cli import Runner, find_cli
from window_harness import app, dialogs, game, gen, open_app, panel, place  # noqa: F401

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
import make_font  # noqa: E402

QUESTION = " problems would show in the game.\n\nDo you want to build anyway?"


@pytest.fixture
def run(tmp_path):
    return Runner(find_cli(), tmp_path)


@pytest.fixture(scope="module")
def tiny(tmp_path_factory):
    path = tmp_path_factory.mktemp("game") / "lang.dat"
    rec = gen.write_lang_dat(path, "tiny")
    for key in rec["sections"]:
        if key not in verbix.SECTIONS:
            verbix.SECTIONS.append(key)
    return path, rec


def write_project(folder, rec, font=None, layout="TXT", english=None, images=False):
    """A project folder holding `rec` as dialogue.txt or .csv, with `font` (bytes) embedded
    and, when asked, the record's images."""
    folder.mkdir(parents=True, exist_ok=True)
    for key, png in rec["img_data"].items() if images else ():
        (folder / (key + ".png")).parent.mkdir(parents=True, exist_ok=True)
        (folder / (key + ".png")).write_bytes(png)
    if font is not None:
        rec = dict(rec, fnt_face="TestFace")
        (folder / "font").mkdir()
        (folder / "font" / "TestFace.ttf").write_bytes(font)
    if layout == "TXT":
        path = folder / "dialogue.txt"
        assert verbix.utils.txt_save(str(path), verbix.dat_2_txt(rec)) == 0
    else:
        path = folder / "dialogue.csv"
        assert verbix.utils.csv_save(str(path), verbix.dat_2_csv(english, rec)) == 0
    return path


def lint(run, game_path, target, *extra):
    """(exit status, the JSON report, stdout) of `verbix-cli lint`."""
    report = target.parent / "lint.json"
    done = run("lint", "--game", game_path, "--target", target, "--json", report, *extra)
    assert done.returncode in (0, 1), done.stderr
    return done.returncode, json.loads(report.read_text(encoding="utf-8")), done.stdout


def drawable(cp):
    """Whether the glyph check looks at the character at all (not blank, not a control)."""
    ch = chr(cp)
    return not ch.isspace() and unicodedata.category(ch) not in ("Cc", "Cs")


def with_label(rec, text):
    """The record with its first label translated as `text`, everything else untranslated."""
    out = dict(rec)
    out["sys_lbls"] = dict(rec["sys_lbls"])
    out["sys_lbls"][next(iter(rec["sys_lbls"]))] = text
    return out


@pytest.mark.parametrize("formats, top", [
    (((3, 1, 4),), 0xFFFF),
    (((3, 10, 12),), 0x10FFFF),
    (((3, 1, 4), (3, 10, 12)), 0x10FFFF),
    (((0, 3, 6),), 0x3FF),
    (((1, 0, 0), (0, 3, 0)), 0xFF),
])
@pytest.mark.parametrize("seed", [1, 2])
def test_the_character_map_agrees_with_fonttools(run, tiny, tmp_path, formats, top, seed):
    rng = random.Random(seed)
    pool = [cp for cp in range(0x21, min(top, 0x2FFF) + 1) if drawable(cp)]
    if top > 0xFFFF:
        pool += [cp for cp in range(0x1F300, 0x1F700) if drawable(cp)]
        pool += [0x10FFFD, 0x20000]
    in_font = set(rng.sample(pool, min(400, len(pool) // 2)))
    if top <= 0x3FF and formats[0][2] == 6:
        in_font |= set(range(0x100, 0x140))  # a dense run, as format 6 holds
    font = make_font.font_bytes(in_font, formats)
    best = {cp for cp, name in TTFont(io.BytesIO(font))["cmap"].getBestCmap().items()
            if name != ".notdef"}
    asked = set(rng.sample(pool, min(300, len(pool)))) | set(rng.sample(sorted(best), 50))
    asked = [ord("x")] + sorted(asked - {ord("x")})
    path = write_project(tmp_path / "p", with_label(tiny[1], "".join(map(chr, asked))), font)
    status, report, _ = lint(run, tiny[0], path)
    missing = {p["char"] for p in report["problems"] if p["check"] == "glyphs"}
    assert missing == {chr(cp) for cp in asked if cp not in best}
    assert status == (1 if missing else 0)


@pytest.mark.parametrize("flavor", [None, "woff"])
def test_an_ascii_font_has_no_glyphs_for_accents_and_ideographs(run, tiny, tmp_path, flavor):
    font = make_font.font_bytes(range(0x20, 0x7F))
    if flavor:
        wrapped = TTFont(io.BytesIO(font))
        wrapped.flavor = flavor
        out = io.BytesIO()
        wrapped.save(out)
        font = out.getvalue()
    rec = with_label(tiny[1], "Café 中 and café")
    path = write_project(tmp_path / "p", rec, font)
    status, report, out = lint(run, tiny[0], path)
    assert status == 1
    glyphs = [p for p in report["problems"] if p["check"] == "glyphs"]
    assert [(p["char"], p["severity"], p["table"]) for p in glyphs] == [
        ("é", "error", "sys_lbls"), ("中", "error", "sys_lbls")]
    assert glyphs[0]["message"] == 'U+00E9 "é" has no glyph in the font; used in 1 text'
    assert glyphs[0]["id"] == next(iter(rec["sys_lbls"])) and isinstance(glyphs[0]["position"], int)
    assert report["totals"] == {"errors": 2, "warnings": 0}
    assert out.splitlines()[-1] == "Checks: 2 errors, 0 warnings"


def test_damaged_fonts_give_one_warning(run, tiny, tmp_path):
    font = make_font.font_bytes(range(0x20, 0x7F), ((3, 1, 4), (3, 10, 12)))
    entry = TTFont(io.BytesIO(font)).reader.tables["cmap"]
    cmap_end = entry.offset + entry.length
    rng = random.Random(5)
    # Cut short before or inside the character map (a font cut after it still reads).
    cuts = (0, 11, 40, entry.offset + 3, entry.offset + 30, cmap_end - 1)
    damaged = [font[:n] for n in cuts]
    damaged.append(b"\x00\x01\x00\x00" + bytes(rng.randrange(256) for _ in range(300)))
    for i, data in enumerate(damaged):
        path = write_project(tmp_path / f"p{i}", with_label(tiny[1], "Hola"), data or b"x")
        status, report, _ = lint(run, tiny[0], path)
        (problem,) = report["problems"]
        assert problem["check"] == "glyphs" and problem["severity"] == "warning"
        assert problem["message"].startswith("glyphs: cannot read the font's character map: ")
        assert status == 0
    # Flipped bytes anywhere: a map or the warning, never a crash.
    for i in range(40):
        data = bytearray(font)
        for _ in range(4):
            data[rng.randrange(len(data))] = rng.randrange(256)
        path = write_project(tmp_path / f"f{i}", with_label(tiny[1], "Hola é"), bytes(data))
        lint(run, tiny[0], path)


def chars_of(rec):
    texts = list(rec["lng_info"])
    for table in gen.TABLES:
        for value in rec[table].values():
            texts += value if isinstance(value, list) else [value]
    return {ord(c) for text in texts for c in text}


@pytest.mark.parametrize("size", ["tiny", "small", "medium", "large"])
@pytest.mark.parametrize("layout", ["TXT", "CSV"])
def test_a_clean_translation_has_no_problems(run, tmp_path, size, layout):
    game_path = gen.game_data_cache(size)
    english = verbix.utils.dat_load(str(game_path))
    for key in english["sections"]:
        if key not in verbix.SECTIONS:
            verbix.SECTIONS.append(key)
    mine = gen.translate_record(english)
    font = make_font.font_bytes(chars_of(mine) | chars_of(english), ((3, 1, 4), (3, 10, 12)))
    path = write_project(tmp_path / "p", mine, font, layout, english)
    status, report, out = lint(run, game_path, path, "--strict")
    assert report == {"problems": [], "totals": {"errors": 0, "warnings": 0}}
    assert status == 0 and out.splitlines()[-1] == "Checks: 0 errors, 0 warnings"


def test_spreadsheet_damage_gives_exactly_its_problems(run, tmp_path):
    english = gen.make_record("tiny")
    keys = list(english["sys_lbls"])[:3]
    english["sys_lbls"].update({keys[0]: "007", keys[1]: "=1+1", keys[2]: "Agent 007"})
    game_path = tmp_path / "lang.dat"
    game_path.write_bytes(gen.encode(english))
    mine = gen.translate_record(english)
    mine["sys_lbls"].update({keys[0]: "7", keys[1]: "2", keys[2]: "#NAME?"})
    path = write_project(tmp_path / "p", mine, layout="CSV", english=english)
    status, report, _ = lint(run, game_path, path)
    got = [(p["check"], p["severity"], p["id"], p["message"]) for p in report["problems"]]
    assert got == [
        ("spreadsheet", "warning", keys[0], 'a spreadsheet turned the English "007" into "7"'),
        ("spreadsheet", "warning", keys[1], 'a spreadsheet turned the English "=1+1" into "2"'),
        ("spreadsheet", "error", keys[2], 'the translation is the spreadsheet error "#NAME?"')]
    assert all(isinstance(p["position"], int) for p in report["problems"])
    assert report["totals"] == {"errors": 1, "warnings": 2} and status == 1
    assert run("lint", "--game", game_path, "--target", path, "--strict").returncode == 1


def test_lint_fails_on_warnings_only_when_strict(run, tiny, tmp_path):
    rec = with_label(tiny[1], "")
    path = write_project(tmp_path / "p", rec)
    status, report, out = lint(run, tiny[0], path)
    assert status == 0 and report["totals"] == {"errors": 0, "warnings": 1}
    assert [p["check"] for p in report["problems"]] == ["empty"]
    assert "warning empty: sys_lbls " in out
    assert run("lint", "--game", tiny[0], "--target", path, "--strict").returncode == 1


def broken_project(folder, rec):
    """A translation that drops a placeholder: one error."""
    out = dict(rec, lng_name="Deutsch")
    cid, lines = next(iter(rec["text_lut"].items()))
    out["text_lut"] = dict(rec["text_lut"], **{cid: ["DE %s " + lines[0]] + lines[1:]})
    return write_project(folder, out, images=True)


def test_cli_build_stops_on_check_errors_unless_keep_going(run, tiny, tmp_path):
    path = broken_project(tmp_path / "p", tiny[1])
    out = tmp_path / "out"
    out.mkdir()
    done = run("build", "--game", tiny[0], "--target", path, "--out", out)
    assert done.returncode == 1 and not (out / "Deutsch.cld").exists()
    assert "1 problems would show in the game." in done.stderr
    assert "Checks: 1 errors, 0 warnings" in done.stdout.splitlines()
    done = run("build", "--game", tiny[0], "--target", path, "--out", out, "--keep-going")
    assert done.returncode == 0 and (out / "Deutsch.cld").exists(), done.stderr


@pytest.mark.parametrize("answer", [False, True])
def test_build_in_the_window_asks_about_check_errors(app, dialogs, place, game, tmp_path, answer):
    path = broken_project(tmp_path / "Deutsch", game[1])
    out = tmp_path / "built"
    out.mkdir()
    dialogs.yes_no.append(answer)
    app.set_lbl(app.build_target_pth, str(path))
    app.set_lbl(app.build_output_pth, str(out))
    app.build_button.invoke()
    (kw,) = dialogs.of("askyesno")
    assert kw["title"] == "Confirm" and kw["message"] == "1" + QUESTION
    shown = panel(app).splitlines()
    problem = [line for line in shown if line.startswith("error placeholders: text_lut ")]
    assert len(problem) == 1 and "extra %s" in problem[0]
    assert "Checks: 1 errors, 0 warnings" in shown
    cld = out / "Deutsch.cld"
    if answer:
        assert cld.exists() and shown[-1] == f"Successfully built to: {cld}"
        assert place.opened_paths() == [str(out)]
    else:
        assert not cld.exists() and shown[-1] == "Canceling build..."
    assert dialogs.of("showerror") == []
