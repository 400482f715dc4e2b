"""Check and Update end to end on generated data: a project of one game version, translated,
checked and updated against the next version in both forms and with every image policy; the
report must name exactly the generator's additions and removals where they stand."""

import re
import sys
from pathlib import Path

import pytest

import verbix

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
import make_game_data as gen  # noqa: E402

LABELS = {"sys_lbls": "Label", "sys_menu": "Menu", "actr_lut": "Actor", "item_lut": "Item",
          "text_lut": "Lines"}
REPORT = re.compile(r"(Label|Menu|Actor|Item|Lines) (added|removed) at (line|row) \((\d+)\): (.*)",
                    re.S)


@pytest.fixture(scope="module")
def versions():
    old, new = gen.make_record("small", version=1), gen.make_record("small", version=2)
    for key in list(old["sections"]) + list(new["sections"]):
        if key not in verbix.SECTIONS:
            verbix.SECTIONS.append(key)
    return old, gen.translate_record(old), new


def write_project(folder, translation, old, form):
    """A translator's project of the old version: the dialogue file and the game's images."""
    folder.mkdir(parents=True)
    if form == "TXT":
        path = folder / "dialogue.txt"
        path.write_text(verbix.dat_2_txt(translation), encoding="utf-8")
    else:
        path = folder / "dialogue.csv"
        assert verbix.utils.csv_save(str(path), verbix.dat_2_csv(old, translation)) == 0
    for key, data in old["img_data"].items():
        (folder / (key + ".png")).parent.mkdir(parents=True, exist_ok=True)
        (folder / (key + ".png")).write_bytes(data)
    return path


def images(folder):
    return {str(p.relative_to(folder).with_suffix("")).replace("\\", "/"): p.read_bytes()
            for p in (folder / "img").rglob("*.png")}


def places(meta, key):
    return [(pos, text) for pos, text in meta.get(key, [])]


@pytest.mark.parametrize("form", ["TXT", "CSV"])
def test_check_reports_the_releases_changes_where_they_stand(tmp_path, utils, recorder, versions,
                                                             form):
    old, translation, new = versions
    path = write_project(tmp_path / "Spanish", translation, old, form)
    before = path.read_bytes()
    _, old_meta = verbix.dlg_data(str(path))
    verbix.check_translation(new, str(path), recorder)
    assert path.read_bytes() == before
    lines = [c[1] for c in recorder.calls if c[0] == "append_log"]
    found = sorted(m.groups() for m in map(REPORT.fullmatch, lines) if m)

    # Where the additions stand in the file that Update writes in the same form.
    merged = verbix.update_translation(new, str(path), form, "Change Nothing", False, recorder)
    _, new_meta = verbix.dlg_data(str(path))
    word = "line" if form == "TXT" else "row"
    expected, adds, rems = [], 0, 0
    for table, (added, removed) in gen.release_changes(old, new).items():
        # Keys left empty in the translation are filled from the game: additions too,
        # unless the game leaves them empty as well (a speaker shown without a name).
        added |= {k for k, v in translation[table].items() if not v and new[table].get(k)}
        adds, rems = adds + len(added), rems + len(removed)
        for kind, keys, meta in (("added", added, new_meta), ("removed", removed, old_meta)):
            expected += [(LABELS[table], kind, word, str(pos), text)
                         for key in keys for pos, text in places(meta, key)]
    assert found == sorted(expected)
    assert len(found) >= adds  # every addition was shown somewhere
    assert lines[lines.index("\nChecks and comparisons complete.") + 1] == (
        f"Additions: {adds} / Removals: {rems}\n")
    renamed = [f"Content ID update: {a} -> {b}" for a, b in gen.RENAMED_IDS.items()]
    assert [line for line in lines if line.startswith("Content ID")] == renamed
    assert merged["ver_hash"] == new["ver_hash"]


def expected_texts(translation, new):
    """The merged tables: the game's keys, the translator's non-empty texts (renamed ids under
    their new ids), the game's texts for the rest."""
    back = {v: k for k, v in gen.RENAMED_IDS.items()}
    out = {}
    for table in LABELS:
        mine = translation[table]
        out[table] = {k: (mine.get(back.get(k, k)) if table == "text_lut" else mine.get(k)) or v
                      for k, v in new[table].items()}
    return out


@pytest.mark.parametrize("policy", ["Replace All", "Replace Missing", "Change Nothing"])
@pytest.mark.parametrize("backup", [True, False])
@pytest.mark.parametrize("form, target", [("TXT", "TXT"), ("TXT", "CSV"), ("CSV", "TXT")])
def test_update_rewrites_the_translation_and_refreshes_images(tmp_path, utils, recorder, versions,
                                                              policy, backup, form, target,
                                                              monkeypatch):
    monkeypatch.setenv("VERBIX_OPENER", "true")
    old, translation, new = versions
    folder = tmp_path / "Spanish"
    path = write_project(folder, translation, old, form)
    before = path.read_bytes()
    merged = verbix.update_translation(new, str(path), target, policy, backup, recorder)
    assert merged is not None
    written = folder / f"dialogue.{target.lower()}"
    assert sorted(p.name for p in folder.glob("dialogue.*")) == [written.name]

    data, meta = verbix.dlg_data(str(written))
    assert meta["format"] == target
    assert data["ver_hash"] == new["ver_hash"] and data["lng_name"] == "Español"
    want = expected_texts(translation, new)
    for table in LABELS:
        assert data[table] == want[table], table
    if target == "TXT":
        assert data["sections"] == new["sections"]
    else:  # CSV rows name speakers by their English names, which a translated file does not map
        assert ({k: [e["text"] for e in es] for k, es in data["sections"].items()}
                == {k: [e["text"] for e in es] for k, es in new["sections"].items()})

    got = images(folder)
    if policy == "Replace All":
        assert got == new["img_data"]
    elif policy == "Replace Missing":
        assert got == {k: old["img_data"].get(k, v) for k, v in new["img_data"].items()}
    else:
        assert got == old["img_data"]

    backups = list(folder.glob("backup_*"))
    if backup:
        (bkp,) = backups
        assert re.fullmatch(r"backup_\d{14}", bkp.name)
        assert (bkp / path.name).read_bytes() == before
        assert images(bkp) == old["img_data"]
    else:
        assert backups == []


def test_without_a_window_errors_take_the_no_window_path(tmp_path, utils, versions):
    """No question is asked without a window; a stop ends the process (here: a missing file)."""
    from window_harness import run_python

    code = ("import verbix, sys; verbix.utils.CSH_WAIT = False; "
            f"verbix.update_translation({{}}, {str(tmp_path / 'none.txt')!r}, 'TXT', '', False)")
    status, out, _ = run_python(code, {}, tmp_path)
    assert status == 1
    assert "File doesn't exist:\n" + str(tmp_path / "none.txt") in out
