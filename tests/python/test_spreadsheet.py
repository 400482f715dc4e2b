"""dialogue.csv through LibreOffice Calc, as translators take it: imported, saved again as CSV,
and read back by the tool. Runs where LibreOffice is installed (`soffice`), skipped elsewhere.
The import settings are those the README gives; LibreOffice's defaults are shown to change
cells, which is why the README asks for Text columns."""

import shutil
import subprocess
import sys
from pathlib import Path

import pytest

import verbix

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
import make_game_data as gen  # noqa: E402

SOFFICE = shutil.which("soffice")
pytestmark = pytest.mark.skipif(SOFFICE is None, reason="LibreOffice (soffice) is not installed")

# Translations a spreadsheet likes to turn into numbers or formulas.
TRICKY = ["007", "=1+1", "+50", "1e5", "1/2", "-3", "TRUE", "12:30", "Ünïcödé ‘quotes’ — ok"]

# CSV import: comma, double quote, UTF-8 (76), from line 1, the four columns as Text (2).
TEXT_IMPORT = "44,34,76,1,1/2/2/2/3/2/4/2"
DEFAULT_IMPORT = "44,34,76,1"


def translation(rec):
    """The game's record translated, with cells a spreadsheet would read as numbers."""
    tr = gen.translate_record(rec)
    labels = list(tr["sys_lbls"])
    for key, text in zip(labels, TRICKY):
        tr["sys_lbls"][key] = text
    return tr


def calc_round_trip(tmp_path, src, import_options, separator):
    """The file LibreOffice Calc saves after opening `src` with the import options and saving
    it as CSV (UTF-8, double quotes) with the separator's code."""
    out = tmp_path / f"calc_{separator}"
    out.mkdir()
    profile = tmp_path / "lo_profile"
    subprocess.run([SOFFICE, f"-env:UserInstallation={profile.as_uri()}", "--headless",
                    f"--infilter=CSV:{import_options}",
                    "--convert-to", f"csv:Text - txt - csv (StarCalc):{separator},34,76,1",
                    "--outdir", str(out), str(src)],
                   check=True, capture_output=True, timeout=600)
    return out / src.name


@pytest.fixture(scope="module")
def project(tmp_path_factory):
    rec = gen.make_record("tiny", version=1)
    for key in rec["sections"]:
        if key not in verbix.SECTIONS:
            verbix.SECTIONS.append(key)
    path = tmp_path_factory.mktemp("project") / "dialogue.csv"
    assert verbix.utils.csv_save(str(path), verbix.dat_2_csv(rec, translation(rec))) == 0
    return path


def cells(path):
    return [c for row in verbix.utils.csv_load(str(path)) for c in row if c]


@pytest.mark.parametrize("separator", [44, 59], ids=["comma", "semicolon"])
def test_text_columns_come_back_unchanged(utils, tmp_path, project, separator):
    saved = calc_round_trip(tmp_path, project, TEXT_IMPORT, separator)
    before = verbix.csv_2_dat(utils.csv_load(str(project)))
    assert verbix.csv_2_dat(utils.csv_load(str(saved))) == before
    assert cells(saved) == cells(project)


def test_default_import_changes_number_like_cells(utils, tmp_path, project):
    saved = calc_round_trip(tmp_path, project, DEFAULT_IMPORT, 44)
    changed = [(a, b) for a, b in zip(cells(project), cells(saved)) if a != b]
    assert ("007", "7") in changed and ("=1+1", "2") in changed
    dat, _ = verbix.csv_2_dat(utils.csv_load(str(saved)))
    assert dat["sys_lbls"] != verbix.csv_2_dat(utils.csv_load(str(project)))[0]["sys_lbls"]
