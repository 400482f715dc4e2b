"""verbix-cli run as a program on generated game data: each command writes what the same
workflow writes through the module, prints and logs the same lines, answers questions only
from --yes, and ends with 0 on success, 1 on a failure (its message on standard error) and
2 on a command line that does not parse.

The program is found through $VERBIX_CLI (scripts/test sets it), else in the CMake build
folders or on the PATH."""

import os
import pickle
import re
import shutil
import subprocess
import sys
import sysconfig
import time
import zlib
from pathlib import Path

import pytest

import verbix

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
import make_game_data as gen  # noqa: E402
from stand_in import recording_opener  # noqa: E402

REPO = Path(__file__).resolve().parents[2]
LOG_NAME = re.compile(r"log_\d{14}(_\d+)?\.\.txt")


def find_cli():
    named = os.environ.get("VERBIX_CLI")
    if named:
        assert Path(named).is_file(), f"VERBIX_CLI names no file: {named}"
        return Path(named)
    for build in ("core", "cli-core"):
        path = REPO / "build" / build / "src" / "cli" / "verbix-cli"
        if path.is_file():
            return path
    # Installed by pip with the interpreter's scripts (bin/, or Scripts\ on Windows), or
    # anywhere on the PATH.
    found = (shutil.which("verbix-cli", path=sysconfig.get_path("scripts"))
             or shutil.which("verbix-cli"))
    if not found:
        pytest.skip("verbix-cli is not built (scripts/test builds it in build/core)")
    return Path(found)


@pytest.fixture(scope="module")
def cli():
    return find_cli()


@pytest.fixture(scope="module")
def games(tmp_path_factory):
    """The tiny game in its current release (1) and the next one (2): paths and records."""
    folder = tmp_path_factory.mktemp("games")
    out = {}
    for version in (1, 2):
        path = folder / f"lang_v{version}.dat"
        out[version] = (path, gen.write_lang_dat(path, "tiny", version=version))
        for key in out[version][1]["sections"]:
            if key not in verbix.SECTIONS:
                verbix.SECTIONS.append(key)
    return out


class Runner:
    """Runs the program with its own settings folder, log folder and a recording file
    explorer (which it must never start)."""

    def __init__(self, cli, tmp_path):
        self.cli = cli
        self.logs = tmp_path / "cli-logs"  # apart from the module's log (conftest's utils)
        self.opened = tmp_path / "opened.txt"
        opener = recording_opener(tmp_path, self.opened)
        self.env = {k: v for k, v in os.environ.items() if k != "APPDATA"}
        self.env.update(XDG_CONFIG_HOME=str(tmp_path / "config"), VERBIX_OPENER=str(opener))

    def __call__(self, *args, log=True):
        args = [str(a) for a in args]
        if log:
            args += ["--log-dir", str(self.logs)]
        done = subprocess.run([str(self.cli), *args], capture_output=True, env=self.env,
                              encoding="utf-8", timeout=120)
        assert not self.opened.exists(), "the file explorer was started"
        return done

    def log_files(self):
        return sorted(self.logs.iterdir()) if self.logs.exists() else []

    def last_log(self):
        files = self.log_files()
        assert files and all(LOG_NAME.fullmatch(f.name) for f in files)
        return files[-1].read_text(encoding="utf-8").splitlines()


@pytest.fixture
def run(cli, tmp_path):
    return Runner(cli, tmp_path)


def files(folder):
    return sorted(p.relative_to(folder).as_posix() + ("/" if p.is_dir() else "")
                  for p in folder.rglob("*"))


def saved_txt(tmp_path, rec):
    path = tmp_path / "expected.txt"
    assert verbix.utils.txt_save(str(path), verbix.dat_2_txt(rec)) == 0
    return path.read_bytes()


def saved_csv(tmp_path, eng, rec=None):
    path = tmp_path / "expected.csv"
    rows = verbix.dat_2_csv(eng) if rec is None else verbix.dat_2_csv(eng, rec)
    assert verbix.utils.csv_save(str(path), rows) == 0
    return path.read_bytes()


def translated(rec):
    """The record as a translator leaves it: every non-empty line of the texts changed."""
    out = dict(rec, lng_name="Deutsch")
    out["text_lut"] = {k: [("DE " + line) if line else line for line in v]
                       for k, v in rec["text_lut"].items()}
    return out


# -- The command line itself --


def test_help_names_every_command_and_option(run):
    top = run("--help", log=False)
    assert top.returncode == 0
    for command in ("create", "check", "update", "build"):
        assert re.search(rf"^\s+{command}\s+\S", top.stdout, re.M)
    options = {"create": ["--out", "--format", "--images"],
               "check": ["--target"],
               "update": ["--target", "--format", "--images", "--no-backup"],
               "build": ["--target", "--out", "--keep-going"]}
    for command, names in options.items():
        names += ["--game", "--log-dir", "--yes"]  # every command's, for scripts
        done = run(command, "--help", log=False)
        assert done.returncode == 0
        for name in names:
            (line,) = [x for x in done.stdout.splitlines()
                       if re.match(rf"\s+(-\w,)?{name}\b", x)]
            assert len(line.split(name, 1)[1].strip()) > 10, line  # a line of purpose


@pytest.mark.parametrize("args", [
    [],
    ["translate", "--game", "x"],
    ["create", "--out", "x"],
    ["create", "--game", "x"],
    ["create", "--game", "x", "--out", "y", "--format", "XML"],
    ["create", "--game", "x", "--out", "y", "--images", "JPG"],
    ["update", "--game", "x", "--target", "y", "--images", "Replace Some"],
    ["build", "--game", "x", "--target", "y"],
    ["check", "--game", "x", "--target", "y", "--keep-going"],
])
def test_a_command_line_that_does_not_parse_is_a_usage_error(run, args):
    done = run(*args, log=False)
    assert done.returncode == 2
    assert done.stderr.strip() and done.stdout == ""


def broken_games(folder, rec):
    folder.mkdir()
    (folder / "garbage.dat").write_bytes(b"not a container")
    (folder / "dict.dat").write_bytes(zlib.compress(pickle.dumps({"a": 1})))
    (folder / "list_sections.dat").write_bytes(
        zlib.compress(pickle.dumps(dict(rec, sections=[1, 2]))))
    return {
        "missing.dat": "Unable to locate data file: ",
        "garbage.dat": "DAT load error: ",
        "dict.dat": "Data format invalid for file: ",
        "list_sections.dat": "Data format invalid for file: ",
    }


@pytest.mark.parametrize("command", ["create", "check", "update", "build"])
def test_a_game_file_that_does_not_load_fails_with_its_reason(run, games, tmp_path, command):
    cases = broken_games(tmp_path / "bad", games[1][1])
    args = {"create": ["--out", tmp_path / "p"], "check": ["--target", tmp_path / "d.txt"],
            "update": ["--target", tmp_path / "d.txt", "--yes"],
            "build": ["--target", tmp_path / "d.txt", "--out", tmp_path]}[command]
    for name, reason in cases.items():
        path = tmp_path / "bad" / name
        run.logs = tmp_path / "logs" / name  # a log folder each: no waiting for a free name
        done = run(command, "--game", path, *args)
        assert done.returncode == 1, name
        assert reason + str(path) in done.stderr, name
        assert done.stderr.endswith("Failed to locate a valid language data file.\n"), name
        assert run.last_log()[-1] == "ERROR: Failed to locate a valid language data file."
    assert not (tmp_path / "p").exists()


# -- Create --


@pytest.mark.parametrize("layout, images", [("TXT", "NONE"), ("CSV", "PNG"), ("csv", "png")])
def test_create_writes_what_the_converters_write(run, games, tmp_path, layout, images):
    path, rec = games[1]
    project = tmp_path / "out" / "Deutsch"
    done = run("create", "--game", path, "--out", project, "--format", layout,
               "--images", images)
    assert (done.returncode, done.stderr) == (0, "")
    name = "dialogue.txt" if layout == "TXT" else "dialogue.csv"
    expected = saved_txt(tmp_path, rec) if layout == "TXT" else saved_csv(tmp_path, rec)
    assert (project / name).read_bytes() == expected
    pngs = {k + ".png": v for k, v in rec["img_data"].items()} if images != "NONE" else {}
    assert {p.relative_to(project).as_posix(): p.read_bytes()
            for p in project.rglob("*.png")} == pngs
    assert list((project / "font").iterdir()) == []

    lines = done.stdout.splitlines()
    assert lines[:2] == [f"DAT file loaded: {path}", "Successfully loaded language data."]
    assert f"Created {name}" in lines
    assert lines[-1] == f"Generated files at: {project}"
    assert [x for x in lines if x.startswith("Saved image: ")] == [
        "Saved image: " + Path(k).name for k in pngs]
    # Without questions the log file holds exactly what was printed.
    assert run.last_log() == lines


def test_create_replaces_a_project_only_with_yes(run, games, tmp_path):
    path, rec = games[1]
    project = tmp_path / "Deutsch"
    (project / "font").mkdir(parents=True)
    (project / "dialogue.txt").write_text("my translation")
    (project / "notes.txt").write_text("mine")

    done = run("create", "--game", path, "--out", project)
    question = f"Folder already exists:\n{project}\n\nDo you want overwrite it?"
    assert done.returncode == 1
    assert done.stderr == f"Answered No without --yes: {question}\n"
    assert f"Confirm: {question}\n-> No (no --yes)\nCanceled creating project folder.\n" in (
        done.stdout)
    assert (project / "dialogue.txt").read_text() == "my translation"
    # The cancel reaches the log file; the question does not (as with the window).
    log = run.last_log()
    assert log[-1] == "Canceled creating project folder." and "Confirm: " not in "\n".join(log)

    done = run("create", "--game", path, "--out", project, "--yes")
    assert (done.returncode, done.stderr) == (0, "")
    assert f"Deleted folder: {project}" in done.stdout.splitlines()
    assert files(project) == ["dialogue.txt", "english.dat", "font/"]
    assert (project / "dialogue.txt").read_bytes() == saved_txt(tmp_path, rec)
    assert len(run.log_files()) == 2  # one file per run, even within one second


def test_a_run_never_writes_into_a_log_file_of_another(run, tmp_path):
    # Earlier runs' files for this second and the next few: the run takes a name of its own
    # at once (a suffix), rather than waiting for a free second or writing into theirs.
    run.logs.mkdir(parents=True)
    now = time.time()
    taken = [run.logs / f"log_{time.strftime('%Y%m%d%H%M%S', time.localtime(now + s))}..txt"
             for s in range(6)]
    for path in taken:
        path.write_text("another run\n")
    done = run("check", "--game", tmp_path / "missing.dat", "--target", tmp_path / "x.txt")
    assert done.returncode == 1
    assert all(path.read_text() == "another run\n" for path in taken)
    new = [f for f in run.log_files() if f not in taken]
    assert len(new) == 1 and re.fullmatch(r"log_\d{14}_2\.\.txt", new[0].name)


def test_create_with_yes_never_deletes_a_folder_that_holds_no_project(run, games, tmp_path):
    path, _ = games[1]
    home = tmp_path / "home"
    (home / "photos").mkdir(parents=True)
    (home / "photos" / "cat.png").write_bytes(b"cat")
    (tmp_path / "file").write_text("a file")
    for target in (home, tmp_path / "file"):
        done = run("create", "--game", path, "--out", target, "--yes")
        assert done.returncode == 1
        assert done.stderr == f"Not a translation project folder, left unchanged: {target}\n"
    assert (home / "photos" / "cat.png").read_bytes() == b"cat"
    assert (tmp_path / "file").read_text() == "a file"

    empty = tmp_path / "empty"
    empty.mkdir()
    assert run("create", "--game", path, "--out", empty, "--yes").returncode == 0
    assert files(empty) == ["dialogue.txt", "english.dat", "font/"]


# -- Build --


def make_project(run, games, folder, version=1, layout="TXT"):
    assert run("create", "--game", games[version][0], "--out", folder, "--format", layout,
               "--images", "PNG").returncode == 0
    return folder / ("dialogue.txt" if layout == "TXT" else "dialogue.csv")


@pytest.mark.parametrize("layout", ["TXT", "CSV"])
def test_build_writes_what_the_compiler_writes(run, games, tmp_path, utils, layout):
    target = make_project(run, games, tmp_path / "English", layout=layout)
    out = tmp_path / "out"
    out.mkdir()
    done = run("build", "--game", games[1][0], "--target", target, "--out", out)
    assert (done.returncode, done.stderr) == (0, "")
    assert done.stdout.splitlines()[-1] == f"Successfully built to: {out / 'English.cld'}"

    rec, meta = verbix.dlg_2_dat(str(target))
    assert verbix.compile(str(tmp_path / "expected.cld"), rec, meta) is True
    assert (out / "English.cld").read_bytes() == (tmp_path / "expected.cld").read_bytes()


def test_build_overwrites_only_with_yes(run, games, tmp_path):
    target = make_project(run, games, tmp_path / "English")
    out = tmp_path / "out"
    out.mkdir()
    (out / "English.cld").write_bytes(b"previous")
    done = run("build", "--game", games[1][0], "--target", target, "--out", out)
    assert done.returncode == 1
    assert done.stderr == (f"Answered No without --yes: {out / 'English.cld'} exists.\n\n"
                           "Do you want to continue and overwrite it?\n")
    assert done.stdout.splitlines()[-1] == "Canceling build..."
    assert (out / "English.cld").read_bytes() == b"previous"

    done = run("build", "--game", games[1][0], "--target", target, "--out", out, "--yes")
    assert done.returncode == 0
    assert (out / "English.cld").read_bytes().startswith(b"LANGDATA{")


def test_build_failures_leave_the_output_alone(run, games, tmp_path):
    target = make_project(run, games, tmp_path / "English", version=1)
    out = tmp_path / "out"
    out.mkdir()
    cases = [
        # A project of the current release against the next one.
        (games[2][0], target, out,
         f"Failed to build: {target}\n\nTry updating dialogue file."),
        (games[1][0], tmp_path / "none.txt", out,
         f"Target translation file missing: {tmp_path / 'none.txt'}"),
        (games[1][0], target, tmp_path / "nowhere",
         f"Output folder doesn't exist: {tmp_path / 'nowhere'}"),
    ]
    for game, tgt, dst, message in cases:
        done = run("build", "--game", game, "--target", tgt, "--out", dst, "--yes")
        assert (done.returncode, done.stderr) == (1, message + "\n"), message
        assert f"ERROR: {message}" in done.stdout
    assert list(out.iterdir()) == []
    assert "Version not supported: " in run("build", "--game", games[2][0], "--target", target,
                                            "--out", out).stdout


def test_build_asks_about_missing_images_and_aborts_on_compiler_errors(run, games, tmp_path):
    """A project without the game's images is built only with --yes; one whose line is
    missing stops at the compiler's "abort?" question unless --keep-going."""
    rec = dict(games[1][1])
    cid = next(e["text"][0] for es in rec["sections"].values() for e in es
               if e["name"] != "[CHOICES]")
    rec["text_lut"] = dict(rec["text_lut"], **{cid: []})
    project = tmp_path / "English"
    project.mkdir()
    assert verbix.utils.txt_save(str(project / "dialogue.txt"), verbix.dat_2_txt(rec)) == 0
    out = tmp_path / "out"
    out.mkdir()
    args = ["build", "--game", games[1][0], "--target", project / "dialogue.txt", "--out", out]

    done = run(*args)
    assert done.returncode == 1
    assert done.stderr == ("Answered No without --yes: Images missing.\n\nDo you want to build "
                           f"anyway?\nFailed to build: {project / 'dialogue.txt'}\n\n"
                           "Try updating dialogue file.\n")
    done = run(*args, "--yes")
    assert done.returncode == 1
    assert ("Build Errors (1): There were errors.\n\nDo you want abort?\n"
            "-> Yes (no --keep-going)\n") in done.stdout
    assert done.stderr == f"Failed to build: {project / 'dialogue.txt'}\n"
    assert list(out.iterdir()) == []
    done = run(*args, "--yes", "--keep-going")
    assert (done.returncode, done.stderr) == (0, "")
    assert (out / "English.cld").read_bytes().startswith(b"LANGDATA{")


# -- Check and Update --


def write_translation(folder, old, layout):
    """A translator's project of the current release: the translated file and the images."""
    folder.mkdir(parents=True)
    rec = translated(old)
    if layout == "TXT":
        path = folder / "dialogue.txt"
        assert verbix.utils.txt_save(str(path), verbix.dat_2_txt(rec)) == 0
    else:
        path = folder / "dialogue.csv"
        assert verbix.utils.csv_save(str(path), verbix.dat_2_csv(old, rec)) == 0
    for key, data in old["img_data"].items():
        (folder / (key + ".png")).parent.mkdir(parents=True, exist_ok=True)
        (folder / (key + ".png")).write_bytes(b"translated " + data)
    return path


def module_lines(utils, workflow):
    """The log lines the module's run of a workflow produces, as its log file would hold them."""
    utils._output = []
    result = workflow()
    return result, "".join(line + "\n" for line in utils._output).splitlines()


@pytest.mark.parametrize("layout", ["TXT", "CSV"])
def test_check_reports_what_the_module_reports_and_changes_nothing(run, games, tmp_path, utils,
                                                                   recorder, layout):
    path = write_translation(tmp_path / "Deutsch", games[1][1], layout)
    before = files(path.parent), path.read_bytes()
    done = run("check", "--game", games[2][0], "--target", path, "--yes")  # accepted, unused
    assert (done.returncode, done.stderr) == (0, "")
    assert (files(path.parent), path.read_bytes()) == before

    _, lines = module_lines(utils, lambda: verbix.check_translation(games[2][1], str(path),
                                                                     recorder))
    assert run.last_log()[2:] == lines
    assert "Content ID update: yrrRQ30Q -> w7ZvbBvC" in done.stdout.splitlines()
    assert re.search(r"^Additions: [1-9]\d* / Removals: [1-9]\d*$", done.stdout, re.M)


def test_check_and_update_of_an_unreadable_file_fail(run, games, tmp_path):
    folder = tmp_path / "Deutsch"
    folder.mkdir()
    (folder / "dialogue.csv").write_bytes(b"")
    target = folder / "dialogue.csv"
    done = run("check", "--game", games[2][0], "--target", target)
    assert (done.returncode, done.stderr) == (1, f"No data found: {target}\n")
    done = run("update", "--game", games[2][0], "--target", target, "--yes")
    assert (done.returncode, done.stderr) == (1, "Update failed, check logs for information.\n")
    assert files(folder) == ["dialogue.csv"]
    done = run("update", "--game", games[2][0], "--target", folder / "none.txt", "--yes")
    assert (done.returncode, done.stderr) == (1, f"File doesn't exist:\n{folder / 'none.txt'}\n")


@pytest.mark.parametrize("layout, to, policy, backup", [
    ("TXT", "TXT", "Replace Missing", True),
    ("TXT", "CSV", "Replace All", False),
    ("CSV", "TXT", "Change Nothing", True),
])
def test_update_writes_what_the_module_writes(run, games, tmp_path, utils, recorder,
                                              monkeypatch, layout, to, policy, backup):
    ours = write_translation(tmp_path / "cli" / "Deutsch", games[1][1], layout)
    theirs = write_translation(tmp_path / "module" / "Deutsch", games[1][1], layout)
    args = ["--format", to, "--images", policy] + ([] if backup else ["--no-backup"])
    done = run("update", "--game", games[2][0], "--target", ours, "--yes", *args)
    assert (done.returncode, done.stderr) == (0, "")

    monkeypatch.setenv("VERBIX_OPENER", "true")
    merged, lines = module_lines(utils, lambda: verbix.update_translation(
        games[2][1], str(theirs), to, policy, backup, recorder))
    assert merged is not None

    def contents(folder):
        # The backup folder's name is a timestamp; its contents must match.
        return {re.sub(r"^backup_\d{14}", "backup", str(p.relative_to(folder))): p.read_bytes()
                for p in folder.rglob("*") if p.is_file()}

    assert contents(ours.parent) == contents(theirs.parent)
    written = ours.with_suffix("." + to.lower())
    assert done.stdout.splitlines()[-2] == f"Successfully updated {written}"
    assert (not ours.exists()) == (layout != to)
    assert any(p.name.startswith("backup_") for p in ours.parent.iterdir()) == backup
    expected = [line.replace(str(theirs.parent), str(ours.parent))
                for line in lines]
    assert [line for line in run.last_log()[2:] if not line.startswith("Copied file: ")] == [
        line for line in expected if not line.startswith("Copied file: ")]


def test_update_rewrites_nothing_without_yes(run, games, tmp_path):
    path = write_translation(tmp_path / "Deutsch", games[1][1], "TXT")
    before = {p: p.read_bytes() for p in path.parent.rglob("*") if p.is_file()}
    done = run("update", "--game", games[2][0], "--target", path, "--format", "CSV")
    assert done.returncode == 1
    assert done.stderr == (f"Answered No without --yes: This will overwrite data for:\n{path}"
                           "\n\nDo you want continue?\n")
    assert done.stdout.splitlines()[-1] == "Canceled update."
    assert {p: p.read_bytes() for p in path.parent.rglob("*") if p.is_file()} == before


def test_an_updated_project_builds_against_the_new_release(run, games, tmp_path):
    path = write_translation(tmp_path / "Deutsch", games[1][1], "CSV")
    out = tmp_path / "out"
    out.mkdir()
    assert run("build", "--game", games[2][0], "--target", path, "--out", out).returncode == 1
    assert run("update", "--game", games[2][0], "--target", path, "--yes").returncode == 0
    done = run("build", "--game", games[2][0], "--target", path, "--out", out)
    assert (done.returncode, done.stderr) == (0, "")
    assert (out / "Deutsch.cld").read_bytes().startswith(b"LANGDATA{")
