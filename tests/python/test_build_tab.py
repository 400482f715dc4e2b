"""The Build tab in the real window: the "..." buttons set the Target and Output entries, and
"Build Target Folder" reads the project, checks it against the loaded game data, drops images
the game lacks and writes "<language>.cld", whose JSON holds the translation."""

import json
import os

import pytest

import verbix
from window_harness import app, dialogs, game, gen, open_app, panel, place  # noqa: F401


def translated(rec):
    """The game's record as a translator leaves it: every line and name in another language."""
    rec = dict(rec)
    rec["lng_name"] = "Deutsch"
    rec["text_lut"] = {k: ["DE " + line for line in v] for k, v in rec["text_lut"].items()}
    rec["item_lut"] = {k: "DE " + v for k, v in rec["item_lut"].items()}
    return rec


def write_project(folder, rec):
    folder.mkdir(parents=True)
    assert verbix.utils.txt_save(str(folder / "dialogue.txt"), verbix.dat_2_txt(rec)) == 0
    for key, png in rec["img_data"].items():
        path = folder / (key + ".png")
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(png)
    return folder / "dialogue.txt"


@pytest.fixture
def project(tmp_path, game):
    return write_project(tmp_path / "Deutsch", translated(game[1]))


@pytest.fixture
def output(tmp_path):
    folder = tmp_path / "built"
    folder.mkdir()
    return folder


def build(app, target, output):
    app.set_lbl(app.build_target_pth, str(target))
    app.set_lbl(app.build_output_pth, str(output))
    # What the build reads: the entries' texts, absolute and normalised.
    assert (app.get_src_pth(), app.get_dst_pth()) == (os.path.abspath(target),
                                                      os.path.abspath(output))
    app.build_button.invoke()


def errors(dialogs):
    return [kw["message"] for kw in dialogs.of("showerror")]


def test_a_project_builds_into_its_language_file(app, dialogs, place, game, project, output):
    build(app, project, output)
    cld = output / "Deutsch.cld"
    data = cld.read_bytes()
    assert data[:8] == b"LANGDATA" and data.isascii()
    doc = json.loads(data[8:])
    rec = game[1]
    assert doc["langName"] == "Deutsch" and doc["langVers"] == rec["ver_hash"]
    for cid, lines in rec["text_lut"].items():
        if cid in doc["linesLUT"]:
            assert doc["linesLUT"][cid] == ["DE " + line for line in lines]
    assert set(doc["imgFiles"]) == set(rec["img_data"])
    assert panel(app).endswith(f"Successfully built to: {cld}\n")
    assert errors(dialogs) == []
    assert place.opened_paths() == [str(output)]


def test_an_existing_file_answered_no_is_kept(app, dialogs, place, project, output):
    build(app, project, output)
    cld = output / "Deutsch.cld"
    first = cld.read_bytes()
    os.utime(cld, (1, 1))
    dialogs.yes_no.append(False)
    build(app, project, output)
    (kw,) = dialogs.of("askyesno")
    assert kw["message"] == f"{cld} exists.\n\nDo you want to continue and overwrite it?"
    assert panel(app).endswith("Canceling build...\n")
    assert cld.read_bytes() == first and cld.stat().st_mtime == 1


def test_images_the_game_lacks_are_left_out(app, dialogs, place, project, output):
    extra = project.parent / "img" / "new" / "x.png"
    extra.parent.mkdir(parents=True)
    extra.write_bytes(b"\x89PNG extra")
    dialogs.yes_no.append(True)  # "Images missing." -- build anyway
    build(app, project, output)
    assert "Excluding image with invalid folder/name: img/new/x\n" in panel(app)
    doc = json.loads((output / "Deutsch.cld").read_bytes()[8:])
    assert "img/new/x" not in doc["imgFiles"]


def test_a_project_of_the_previous_version_is_refused(app, dialogs, tmp_path, output):
    old = translated(gen.make_record("tiny", version=2))
    target = write_project(tmp_path / "old", old)
    build(app, target, output)
    assert errors(dialogs) == [f"Failed to build: {target}\n\nTry updating dialogue file."]
    assert list(output.iterdir()) == []


@pytest.mark.parametrize("case", ["no target", "no output", "unreadable", "empty target"])
def test_refusals_leave_the_output_folder_untouched(app, dialogs, tmp_path, project, output,
                                                    case, monkeypatch):
    target, out = project, output
    if case == "no target":
        target = tmp_path / "missing" / "dialogue.txt"
        expected = f"Target translation file missing: {target}"
    elif case == "no output":
        out = tmp_path / "nowhere"
        expected = f"Output folder doesn't exist: {out}"
    elif case == "unreadable":
        project.write_text("")
        expected = f"Unable to load data from: {target}"
    else:
        monkeypatch.chdir(tmp_path)
        target = ""
        expected = "Target translation file missing: "  # not the working folder
    build(app, target, out)
    assert errors(dialogs) == [expected]
    assert panel(app).endswith(f"ERROR: {expected}\n")
    assert list(output.iterdir()) == []


def test_a_second_click_during_a_build_is_dropped(app, dialogs, project, output, monkeypatch):
    from test_update_tab import click

    app.tabview.set("Build")  # clicks reach only a shown button
    app.root.update()
    app.set_lbl(app.build_target_pth, str(project))
    app.set_lbl(app.build_output_pth, str(output))
    clicked = []
    real_set = app.progress_bar.set

    def set_and_click(value):  # the user clicks again while the build runs
        if not clicked:
            clicked.append(str(app.build_button.cget("state")))
            click(app.build_button)
        real_set(value)

    monkeypatch.setattr(app.progress_bar, "set", set_and_click)
    app.build_button.invoke()
    app.root.update()
    assert clicked == ["disabled"]
    assert panel(app).count("Successfully built to: ") == 1
    assert dialogs.of("askyesno") == []  # no second build asking to overwrite the first
    assert str(app.build_button.cget("state")) == "normal"
    dialogs.yes_no.append(False)
    click(app.build_button)  # the same click once the build is over starts another
    app.root.update()
    assert len(dialogs.of("askyesno")) == 1 and panel(app).endswith("Canceling build...\n")


def test_choosing_the_target_and_the_output(app, dialogs, place, project, output):
    app.set_lbl(app.update_target_pth, str(project))
    dialogs.open_file += ["", str(project)]
    app.build_target_sel.invoke()  # cancelled: nothing changes
    assert app.build_target_pth.get() == ""
    app.build_target_sel.invoke()
    assert app.build_target_pth.get() == str(project)
    starts = [kw.get("initialdir") for kw in dialogs.of("askopenfilename")]
    assert starts == [str(project)] * 2  # the Update tab's file
    assert [kw["title"] for kw in dialogs.of("askopenfilename")] == ["Select Translation File"] * 2

    # An entry naming no folder starts the dialog in the tool folder.
    app.set_lbl(app.build_output_pth, str(output / "gone"))
    dialogs.directory += ["", str(output), str(place.root)]
    app.build_output_sel.invoke()  # cancelled
    assert app.build_output_pth.get() == str(output / "gone")
    app.build_output_sel.invoke()
    assert app.build_output_pth.get() == str(output)
    app.build_output_sel.invoke()
    starts = [kw.get("initialdir") for kw in dialogs.of("askdirectory")]
    assert starts == [str(place.root), str(place.root), str(output)]
    assert panel(app).endswith(f"Selected file: {project}\nSelected output folder: {output}\n"
                               f"Selected output folder: {place.root}\n")
