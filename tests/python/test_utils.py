"""The utilities object as a Python caller sees it, checked against CPython's own csv module
and against real files and child processes."""

import csv
import io
import os
import random
import re
import subprocess
import sys
import textwrap

import pytest

import verbix

PIECES = ["a", "b c", ",", '"', "\r", "\n", "\r\n", "é", "日本", "😀", " ", "\u3000", "x,y", '""']


def random_rows(rng, count):
    rows = []
    for _ in range(count):
        width = rng.choice([0, 1, 1, 2, 4])
        rows.append(["".join(rng.choice(PIECES) for _ in range(rng.randint(0, 4)))
                     for _ in range(width)])
    return rows


@pytest.mark.parametrize("seed", range(5))
def test_csv_written_by_us_reads_back_in_cpython(utils, tmp_path, seed):
    rows = random_rows(random.Random(seed), 300)
    path = tmp_path / "rows.csv"
    assert utils.csv_save(str(path), rows) == 0
    with open(path, newline="", encoding="utf-8") as f:
        assert list(csv.reader(f)) == rows
    buf = io.StringIO(newline="")
    csv.writer(buf).writerows(rows)
    assert path.read_bytes() == buf.getvalue().encode("utf-8")


@pytest.mark.parametrize("seed", range(5))
def test_csv_written_by_cpython_reads_back_in_ours(utils, tmp_path, seed):
    rows = random_rows(random.Random(100 + seed), 300)
    path = tmp_path / "rows.csv"
    with open(path, "w", newline="", encoding="utf-8-sig") as f:
        csv.writer(f).writerows(rows)
    assert path.read_bytes().startswith(b"\xef\xbb\xbf")
    assert utils.csv_load(str(path)) == rows


def test_csv_values_none_and_other_kinds(utils, tmp_path):
    path = tmp_path / "kinds.csv"
    assert utils.csv_save(path, [[None], ["x", None, 3, True]]) == 0
    assert path.read_bytes() == b'""\r\nx,,3,True\r\n'
    assert utils.csv_load(path) == [[""], ["x", "", "3", "True"]]


def test_csv_unterminated_quote_is_an_error_after_the_loaded_line(utils, tmp_path):
    path = tmp_path / "broken.csv"
    path.write_bytes(b'ID,Source\r\n12,"never closed\r\n13,x\r\n')
    assert utils.csv_load(path) is None
    full = utils.full_path(str(path))
    assert utils._output[-1] == "CSV file loaded: " + full
    assert utils._errors == ["ERROR (unexpected end of data): CSV load error " + full]


def test_txt_invalid_utf8_is_none_with_the_load_error_line(utils, tmp_path):
    path = tmp_path / "dialogue.txt"
    path.write_bytes("fine\n".encode() + b"\xe9t\xe9\n")
    assert utils.txt_load(path) is None
    with pytest.raises(UnicodeDecodeError) as err:
        path.read_bytes().decode("utf-8")
    assert utils._errors == [f"ERROR ({err.value}): TXT load error {utils.full_path(str(path))}"]


def test_txt_round_trip_and_missing(utils, tmp_path):
    text = "[VERSION]\nv1 : abc\n\u3000indented\n"
    assert utils.txt_save(tmp_path / "p" / "dialogue.txt", text) == 0
    assert utils.txt_load(tmp_path / "p" / "dialogue.txt") == text
    assert utils.txt_load(tmp_path / "none.txt") == ""


def test_log_folder_that_cannot_be_written(utils, tmp_path):
    (tmp_path / "blocker").write_text("not a folder")
    utils.log_dir_and_file(str(tmp_path / "blocker" / "logs"), "log.txt")
    utils.info("queued")
    utils.log_flush()
    assert len(utils._errors) == 1
    assert utils._errors[0].startswith("ERROR (1): Exception in log_flush: ")
    assert utils._output == ["queued"]


def test_file_limit_failure_reaches_the_caller_as_oserror(utils, tmp_path):
    (tmp_path / "a.log").mkdir()
    (tmp_path / "b.log").write_text("")
    with pytest.raises(OSError):
        utils.file_limit(1, str(tmp_path), "*.log")


def test_log_lines_go_through_python_stdout(utils, capsys):
    utils.info("to the console")
    utils.fail("bad", 7)
    assert capsys.readouterr().out == "to the console\nERROR (7): bad\n"


def test_module_info_and_error_with_a_window(utils, recorder):
    verbix.info("shown", recorder)
    assert verbix.error("went wrong", 1, recorder) == 1
    assert verbix.error("again", p_app=recorder) is None
    assert recorder.calls[:4] == [
        ("append_log", "shown"),
        ("append_log", "ERROR: went wrong"),
        ("save_log",),
        ("popup_error", "went wrong", "Error"),
    ]
    assert utils._output == ["shown", "ERROR: went wrong", "ERROR: again"]


def test_tool_location_rules(utils, tmp_path):
    saved = utils.module_file, utils.main_file, utils.executable
    try:
        utils.module_file = str(tmp_path / "tool" / "Verbix.PY")
        utils.main_file = str(tmp_path / "run.py")
        utils.executable = str(tmp_path / "bin" / "python.exe")
        assert utils.is_script()
        assert utils.dir() == str(tmp_path / "tool")
        assert utils.file_dir() == str(tmp_path / "run.py")
        utils.module_file = str(tmp_path / "tool" / "verbix.pyd")
        assert not utils.is_script()
        assert utils.file_dir() == str(tmp_path / "bin" / "python.exe")
    finally:
        utils.module_file, utils.main_file, utils.executable = saved


def test_built_module_knows_its_own_file():
    assert os.path.samefile(verbix.utils.dir(), os.path.dirname(verbix.__file__))
    assert not verbix.utils.is_script()
    assert verbix.utils.file_dir() == os.path.abspath(sys.executable)


CRASH_SCRIPT = textwrap.dedent("""
    import sys, verbix
    u = verbix.utils
    u.log_dir_and_file(sys.argv[1], "log.txt")
    print("python line before")
    u.info("progress")
    u.fail("earlier")
    u.crash("fatal", 5)
    print("never printed")
""")


def run_crash(tmp_path, stdin):
    return subprocess.run([sys.executable, "-c", CRASH_SCRIPT, str(tmp_path / "logs")],
                          stdin=stdin, capture_output=True, text=True, timeout=60)


@pytest.mark.parametrize("stdin", [subprocess.DEVNULL, None], ids=["devnull", "closed"])
def test_crash_leaves_summary_and_exits_with_its_code(tmp_path, stdin):
    if stdin is None:
        r, w = os.pipe()
        os.close(w)  # input at end: the prompt must not wait
        proc = run_crash(tmp_path, r)
        os.close(r)
    else:
        proc = run_crash(tmp_path, stdin)
    assert proc.returncode == 5
    assert proc.stdout.splitlines()[:5] == [
        "python line before", "progress", "ERROR (1): earlier", "ERROR (5): fatal", "Crashing..."]
    assert "Press ENTER to exit." in proc.stdout
    assert "never printed" not in proc.stdout
    (log,) = list((tmp_path / "logs").iterdir())
    assert re.fullmatch(r"log_\d{14}\.\.txt", log.name)
    assert log.read_text(encoding="utf-8") == (
        "ERRORS (2):\nERROR (1): earlier\nERROR (5): fatal\n"
        + "-" * 34 + "\nprogress\nCrashing...\nThread logging stopped...\n")


def test_error_without_window_crashes(tmp_path):
    script = "import verbix; verbix.utils.CSH_WAIT = False; verbix.error('no window', 0)"
    proc = subprocess.run([sys.executable, "-c", script], cwd=tmp_path,
                          capture_output=True, text=True, timeout=60)
    assert proc.returncode == 1
    assert "ERROR (1): no window" in proc.stdout
