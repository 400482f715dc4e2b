"""What hostile game data, projects, disks and interruptions must not do: write outside the
folders the user chose, write over a file under a name cut short, or lose what the user had.
verbix-cli runs on real folders of generated game data."""

import re
import sys

import pytest

import verbix
from test_cli import cli, files, games, gen, make_project, run  # noqa: F401 (fixtures)


def with_language(target, name):
    """The TXT project with its LANGUAGE line replaced by `name`."""
    text = target.read_text(encoding="utf-8")
    text = re.sub(r"(\[LANGUAGE\]\n)[^\n]*", lambda m: m.group(1) + name, text, count=1)
    target.write_bytes(text.encode("utf-8"))


# -- Names from data that become paths --


@pytest.mark.parametrize("name, fault", [
    ("Deutsch\0.txt", "holds a NUL byte"),
    ("../x", "holds a path separator"),
    ("a/b", "holds a path separator"),
    ("..\\x", "holds a path separator"),
    ("/tmp/abs", "holds a path separator"),
    ("a:b", "holds a drive or stream colon"),
    ("CON", "is a device name on Windows"),
])
def test_build_refuses_a_language_name_that_is_no_file_name(run, games, tmp_path, name, fault):
    target = make_project(run, games, tmp_path / "work" / "English")
    with_language(target, name)
    out = tmp_path / "work" / "out"
    out.mkdir()
    (out / "Deutsch").write_bytes(b"keep")  # what a name cut at the NUL would overwrite
    before = files(tmp_path / "work")
    done = run("build", "--game", games[1][0], "--target", target, "--out", out, "--yes")
    shown = name.replace("\0", "\\x00")
    message = (f"Invalid language name, it {fault}: {shown}\n\n"
               f"Correct the language name in {target}")
    assert (done.returncode, done.stderr) == (1, message + "\n")
    assert files(tmp_path / "work") == before
    assert (out / "Deutsch").read_bytes() == b"keep"


def hostile_game(folder, keys):
    """The tiny game with extra images under hostile keys."""
    rec = gen.make_record("tiny")
    for key in keys:
        rec["img_data"][key] = b"IMAGE BYTES"
    path = folder / "hostile.dat"
    path.write_bytes(gen.encode(rec))
    return path


def test_image_keys_with_nul_or_forbidden_characters_are_refused(run, tmp_path):
    keys = ["dialogue.txt\0", "img/a\0/../../x", "img/a?b", "img/nul"]
    game = hostile_game(tmp_path, keys)
    project = tmp_path / "English"
    done = run("create", "--game", game, "--out", project, "--images", "PNG")
    assert done.returncode == 0, done.stderr
    for line in ["Refused image whose name holds a NUL byte: dialogue.txt\\x00",
                 "Refused image whose name holds a NUL byte: img/a\\x00/../../x",
                 "Refused image whose name holds the character ?, which Windows forbids in "
                 "file names: img/a?b",
                 "Refused image whose name is a device name on Windows: img/nul"]:
        assert line in done.stdout.splitlines()
    text = (project / "dialogue.txt").read_bytes()
    assert text.startswith(b"[VERSION]")
    assert not any("IMAGE BYTES" in p.read_text(errors="replace")
                   for p in project.rglob("*") if p.is_file())

    done = run("update", "--game", game, "--target", project / "dialogue.txt", "--yes",
               "--images", "Replace All", "--no-backup")
    assert done.returncode == 0, done.stderr
    assert "Refused image whose name holds a NUL byte: dialogue.txt\\x00" in done.stdout
    assert (project / "dialogue.txt").read_bytes().startswith(b"[VERSION]")
    assert not (tmp_path / "x.png").exists()


# -- A full disk --


@pytest.fixture
def small_disk(tmp_path):
    """A 2 MB tmpfs of its own, where the test may mount one."""
    import os
    import subprocess
    if os.geteuid() != 0:
        pytest.skip("mounting a small tmpfs needs root")
    mount = tmp_path / "disk"
    mount.mkdir()
    done = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=2m", "tmpfs", str(mount)],
                          capture_output=True, text=True)
    if done.returncode != 0:
        pytest.skip(f"cannot mount a tmpfs here: {done.stderr.strip()}")
    yield mount
    subprocess.run(["umount", str(mount)], check=True)


def snapshot(folder):
    return {str(p.relative_to(folder)): p.read_bytes() for p in folder.rglob("*") if p.is_file()}


@pytest.mark.skipif(sys.platform == "win32", reason="the small disk is a tmpfs mounted for the test, a Linux file system")
def test_a_full_disk_never_loses_an_image(run, games, small_disk):
    """At every level of free space, Update with backups either completes, or stops with the
    file it could not back up named and the project as it was; no backup is truncated."""
    import os
    outcomes = set()
    for free in range(0, 48_000, 4_000):  # each page of the tiny project's files, then room
        project = small_disk / "Deutsch"
        target = make_project(run, games, project)
        for png in project.rglob("*.png"):
            png.write_bytes(b"translated " + png.read_bytes())  # the translator's own images
        before = snapshot(project)
        filler = small_disk / "filler"
        stat = os.statvfs(small_disk)
        filler.write_bytes(b"\0" * max(0, stat.f_bavail * stat.f_frsize - free))
        done = run("update", "--game", games[2][0], "--target", target, "--yes",
                   "--images", "Replace All")
        filler.unlink()
        after = snapshot(project)
        backups = [p for p in project.iterdir() if p.name.startswith("backup_")]
        if done.returncode == 0:
            outcomes.add("updated")
        elif "\nFailed to back up " in done.stderr:
            outcomes.add("refused")
            assert "No space left on device" in done.stderr
            assert done.stderr.endswith("\n\nNothing was changed.\n")
            assert after == before and not backups
        else:
            outcomes.add("stopped later")  # the new dialogue file or an image did not fit
        if "\nFailed to back up " not in done.stderr:
            # Whatever left the project is in the backup, whole.
            assert len(backups) == 1, (done.returncode, done.stderr, done.stdout[-1500:])
            assert snapshot(backups[0]) == before
        assert not [p for p in project.rglob("*") if "tmp-verbix" in p.name]
        for leftover in list(small_disk.iterdir()):
            subprocess_rm(leftover)
    assert outcomes == {"refused", "stopped later", "updated"}, outcomes


def subprocess_rm(path):
    import shutil
    if path.is_dir():
        shutil.rmtree(path)
    else:
        path.unlink()


# -- Links out of the project --


@pytest.mark.skipif(sys.platform == "win32", reason="creating symbolic links needs a privilege on Windows")
def test_links_out_of_the_project_are_not_followed(run, games, tmp_path):
    outside = tmp_path / "outside"
    (outside / "pics").mkdir(parents=True)
    (outside / "pics" / "mine.png").write_bytes(b"user's own")
    (outside / "MyFont.ttf").write_bytes(b"user's font")
    keep = snapshot(outside)

    # Update with the image folder, or a subfolder of it, a link to a folder outside.
    for link_at in ("img", "img/ui"):
        project = tmp_path / link_at.replace("/", "_") / "Deutsch"
        target = make_project(run, games, project)
        link = project / link_at
        subprocess_rm(link)
        link.symlink_to(outside / "pics", target_is_directory=True)
        done = run("update", "--game", games[2][0], "--target", target, "--yes",
                   "--images", "Replace All")
        assert done.returncode == 0, done.stderr
        assert snapshot(outside) == keep
        assert any(line.startswith(("Skipped link: ", "Skipped image behind a link: "))
                   for line in done.stdout.splitlines())

    # create --yes --out a link to a project folder.
    project = tmp_path / "real" / "Deutsch"
    make_project(run, games, project)
    (project / "notes.txt").write_text("user file")
    link = tmp_path / "linked"
    link.symlink_to(project, target_is_directory=True)
    before = snapshot(project)
    done = run("create", "--game", games[1][0], "--out", link, "--yes")
    assert done.returncode == 1
    assert done.stderr.endswith(f"it is a link, not followed\nFailed to delete: {link}\n")
    assert snapshot(project) == before

    # Build with a linked PNG and a linked font.
    project = tmp_path / "build" / "English"
    target = make_project(run, games, project)
    text = target.read_text(encoding="utf-8")
    target.write_text(re.sub(r"(\[FONT\]\nFile : )[^\n]*", r"\1MyFont.ttf", text, count=1),
                      encoding="utf-8")
    (project / "font" / "MyFont.ttf").symlink_to(outside / "MyFont.ttf")
    (project / "img" / "extra.png").symlink_to(outside / "pics" / "mine.png")
    out = tmp_path / "out"
    out.mkdir()
    done = run("build", "--game", games[1][0], "--target", target, "--out", out, "--yes")
    assert done.returncode == 0, done.stderr
    lines = done.stdout.splitlines()
    assert f"Skipped link: {project / 'font' / 'MyFont.ttf'}" in lines
    assert f"Skipped link: {project / 'img' / 'extra.png'}" in lines
    cld = (out / "English.cld").read_bytes()
    assert b"user's" not in cld and b"dXNlcidz" not in cld


# -- Empty item descriptions in CSV --


def test_a_csv_project_keeps_empty_item_descriptions(run, tmp_path):
    rec = gen.make_record("tiny")
    empty = list(rec["item_lut"])[:2]
    for iid in empty:
        rec["text_lut"][iid] = []
    game = tmp_path / "lang.dat"
    game.write_bytes(gen.encode(rec))
    back, _ = verbix.csv_2_dat(verbix.dat_2_csv(rec))
    assert [back["text_lut"][iid] for iid in empty] == [[], []]
    assert back["text_lut"] == rec["text_lut"]

    target = make_project(run, {1: (game, rec)}, tmp_path / "English", layout="CSV")
    out = tmp_path / "out"
    out.mkdir()
    done = run("build", "--game", game, "--target", target, "--out", out)
    assert (done.returncode, done.stderr) == (0, "")


# -- kill -9 in the middle of Update and Build --


@pytest.mark.skipif(sys.platform == "win32", reason="kill -9 is a POSIX signal")
def test_kills_leave_whole_files_and_the_next_run_leaves_no_temporary_file(run, tmp_path):
    import json
    import random
    import shutil
    import signal
    import subprocess
    import time

    old = gen.game_data_cache("medium", version=1)
    new = gen.game_data_cache("medium", version=2)
    project = tmp_path / "Deutsch"
    assert run("create", "--game", old, "--out", project, "--images", "PNG").returncode == 0
    target = project / "dialogue.txt"
    original = target.read_bytes()
    # The file a complete update writes, made on a copy.
    shutil.copytree(project, tmp_path / "copy")
    assert run("update", "--game", new, "--target", tmp_path / "copy" / "dialogue.txt",
               "--yes", "--no-backup").returncode == 0
    updated = (tmp_path / "copy" / "dialogue.txt").read_bytes()
    out = tmp_path / "out"
    out.mkdir()
    rng = random.Random(1717)

    def killed(*args):
        proc = subprocess.Popen([str(run.cli), *map(str, args), "--log-dir", str(run.logs)],
                                env=run.env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        time.sleep(rng.uniform(0.02, 0.6))
        proc.send_signal(signal.SIGKILL)
        proc.wait()

    def temporaries(folder):
        return [p for p in folder.rglob("*") if "tmp-verbix" in p.name]

    for _ in range(3):
        killed("update", "--game", new, "--target", target, "--yes")
        assert target.read_bytes() in (original, updated)
        for backup in project.glob("backup_*/dialogue.txt"):
            assert backup.read_bytes() in (original, updated)
    done = run("update", "--game", new, "--target", target, "--yes")
    assert done.returncode == 0, done.stderr
    assert target.read_bytes() == updated
    assert temporaries(project) == []

    cld = out / "Deutsch.cld"
    for _ in range(3):
        killed("build", "--game", new, "--target", target, "--out", out, "--yes")
        if cld.exists():
            data = cld.read_bytes()
            assert data.startswith(b"LANGDATA")
            json.loads(data[8:])
    done = run("build", "--game", new, "--target", target, "--out", out, "--yes")
    assert done.returncode == 0, done.stderr
    assert temporaries(out) == [] and temporaries(project) == []


def test_a_format_change_cut_short_goes_on_from_the_newer_file(run, games, tmp_path):
    import os
    project = tmp_path / "Deutsch"
    txt = make_project(run, games, project)
    csv = project / "dialogue.csv"
    rec, _ = verbix.dlg_data(str(txt))
    rec["lng_name"] = "Newer"
    assert verbix.utils.csv_save(str(csv), verbix.dat_2_csv(games[1][1], rec)) == 0
    stamp = txt.stat().st_mtime
    os.utime(csv, (stamp + 5, stamp + 5))
    done = run("update", "--game", games[1][0], "--target", txt, "--format", "CSV", "--yes")
    assert done.returncode == 0, done.stderr
    assert (f"Found both {txt} and {csv} (an interrupted format change); updating the newer: "
            f"{csv}") in done.stdout.splitlines()
    assert not txt.exists()
    assert verbix.dlg_data(str(csv))[0]["lng_name"] == "Newer"
    backup = next(project.glob("backup_*"))
    assert sorted(p.name for p in backup.iterdir() if p.is_file()) == ["dialogue.csv",
                                                                       "dialogue.txt",
                                                                       "english.dat"]


# -- Line breaks typed into spreadsheet cells --


def test_a_line_break_in_a_csv_cell_refuses_the_change_to_txt(run, games, tmp_path):
    project = tmp_path / "Deutsch"
    csv = make_project(run, games, project, layout="CSV")
    rec, _ = verbix.dlg_data(str(csv))
    label, line_id = next(iter(rec["sys_lbls"])), list(rec["text_lut"])[-1]
    rec["sys_lbls"][label] = "first\nsecond"
    rec["text_lut"][line_id] = ["one\r\ntwo"]
    assert verbix.utils.csv_save(str(csv), verbix.dat_2_csv(games[1][1], rec)) == 0
    before = snapshot(project)
    done = run("update", "--game", games[1][0], "--target", csv, "--format", "TXT", "--yes")
    assert done.returncode == 1
    assert done.stderr == ("Can't change to TXT: the texts of these ids hold line breaks, which "
                           f"TXT lines cannot keep: {label}, {line_id}\n\n"
                           "Keep the CSV form, or remove the line breaks.\n")
    assert snapshot(project) == before
    # In its own form the text is kept whole.
    done = run("update", "--game", games[1][0], "--target", csv, "--yes", "--no-backup")
    assert done.returncode == 0, done.stderr
    assert verbix.dlg_data(str(csv))[0]["sys_lbls"][label] == "first\nsecond"


# -- Smaller faults: odd names, pipes, misplaced paths --


@pytest.mark.skipif(sys.platform == "win32", reason="named pipes are made with os.mkfifo, a POSIX call")
def test_odd_files_get_a_message_that_says_what_is_wrong(run, games, tmp_path, utils, recorder):
    import os
    project = tmp_path / "English"
    target = make_project(run, games, project)
    # An image whose name is not UTF-8: skipped and named, by the module and the program.
    odd = os.fsencode(str(project / "img")) + b"/bad\xff.png"
    with open(odd, "wb") as f:
        f.write(b"png")
    rec, _ = verbix.dlg_2_dat(str(target), recorder)
    assert "img/bad\udcff" not in rec["img_data"]
    assert ("append_log", f"Skipped name that is not UTF-8: {project / 'img'}/bad\\xff.png") \
        in recorder.calls
    out = tmp_path / "out"
    out.mkdir()
    done = run("build", "--game", games[1][0], "--target", target, "--out", out)
    assert (done.returncode, done.stderr) == (0, "")

    # --game naming a pipe without a writer, --out naming a file, a dialogue file that is a
    # folder or a pipe.
    pipe = tmp_path / "pipe.dat"
    os.mkfifo(pipe)
    done = run("check", "--game", pipe, "--target", target)
    assert done.returncode == 1
    assert f"Not a regular file, not read: {pipe}" in done.stderr
    done = run("build", "--game", games[1][0], "--target", target, "--out", target)
    assert (done.returncode, done.stderr) == (1, f"Output path is not a folder: {target}\n")
    for kind in ("folder", "pipe"):
        odd_project = tmp_path / kind
        odd_project.mkdir()
        dialogue = odd_project / "dialogue.txt"
        dialogue.mkdir() if kind == "folder" else os.mkfifo(dialogue)
        done = run("check", "--game", games[1][0], "--target", dialogue)
        assert done.returncode == 1
        assert f"Not a regular file, not read: {dialogue}" in done.stdout.splitlines()


# -- Memory --


@pytest.mark.skipif(sys.platform == "win32", reason="the address-space limit comes from the POSIX resource module")
def test_memory_out_of_proportion_is_refused_or_reported(run, games, tmp_path):
    import resource
    import subprocess
    commas = tmp_path / "commas.csv"
    commas.write_bytes(b"," * 5_000_000)
    done = run("check", "--game", games[1][0], "--target", commas)
    assert done.returncode == 1
    assert (f"ERROR (row 1 has more than 4096 cells): CSV load error {commas}"
            in done.stderr.splitlines())

    # A small game file that inflates far beyond its size is refused early.
    bomb = tmp_path / "bomb.dat"
    rec = gen.make_record("tiny")
    rec["img_data"]["img/huge"] = bytes(100 << 20)
    bomb.write_bytes(gen.encode(rec))
    assert bomb.stat().st_size < 200_000
    done = run("check", "--game", bomb, "--target", commas)
    assert done.returncode == 1
    assert "decompressed data larger than 67108864 bytes" in done.stderr

    # A dialogue file that needs more memory than the program may take: the failure is said
    # plainly, on the console and in the log. (The CSV reader holds one row at a time; a
    # story of 400,000 short blocks in 20 MB needs its record.)
    wide = tmp_path / "story.txt"
    wide.write_text("[VERSION]\nv\n\n[ch01_intro.json]\n" + "".join(
        f"#k{i:07d} (Narrator)\n: Line {i} of the story.\n\n" for i in range(400_000)),
        encoding="utf-8")

    def small_memory():
        resource.setrlimit(resource.RLIMIT_AS, (150 << 20, 150 << 20))

    done = subprocess.run([str(run.cli), "check", "--game", str(games[1][0]), "--target",
                           str(wide), "--log-dir", str(run.logs)],
                          capture_output=True, encoding="utf-8", env=run.env,
                          preexec_fn=small_memory, timeout=120)
    message = ("Out of memory: the work was stopped and no file was left half-written. "
               "Close other programs and try again.")
    assert (done.returncode, done.stderr.splitlines()[-1]) == (1, message)
    assert f"ERROR: {message}" in run.last_log()
