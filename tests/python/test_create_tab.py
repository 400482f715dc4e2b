"""The Create tab in the real window: the button reads the tab's inputs and makes the project
folder under `root_dir` from the loaded game data, asking before it replaces a folder."""

import pytest

from window_harness import (app, dialogs, game, gen, open_app, panel, place,  # noqa: F401
                            write_dat)


def generate(app, name, layout="TXT", images="NONE"):
    app.create_folder_inp.delete(0, "end")
    app.create_folder_inp.insert(0, name)
    app.create_format_opt.set(layout)
    app.create_images_opt.set(images)
    app.create_folder_btn.invoke()


def files(folder):
    return sorted(p.relative_to(folder).as_posix() + ("/" if p.is_dir() else "")
                  for p in folder.rglob("*"))


def test_a_blank_name_is_refused(app, dialogs, place):
    generate(app, "  \t ")
    assert panel(app) == "ERROR: Can't generate folder without a name.\n"
    assert [(k["title"], k["message"]) for k in dialogs.of("showerror")] == [
        ("Error", "Can't generate folder without a name.")]
    assert files(place.root) == []


def test_an_existing_folder_answered_no_is_left_alone(app, dialogs, place):
    project = place.root / "Spanish"
    (project / "font").mkdir(parents=True)
    (project / "dialogue.txt").write_text("my translation")
    dialogs.yes_no.append(False)
    generate(app, "Spanish")
    (kw,) = dialogs.of("askyesno")
    assert (kw["title"], kw["message"]) == (
        "Confirm", f"Folder already exists:\n{project}\n\nDo you want overwrite it?")
    assert panel(app) == "Canceled creating project folder.\n"
    assert (project / "dialogue.txt").read_text() == "my translation"
    assert dialogs.of("showerror") == []


@pytest.mark.parametrize("layout, written", [("TXT", "dialogue.txt"), ("CSV", "dialogue.csv")])
def test_a_project_in_either_form(app, place, layout, written):
    generate(app, "  Spanish  ", layout)
    project = place.root / "Spanish"
    assert files(project) == [written, "english.dat", "font/"]
    assert panel(app) == f"Created {written}\nGenerated files at: {project}\n"
    assert place.opened_paths() == [str(project)]


def test_an_existing_folder_answered_yes_is_replaced(app, dialogs, place):
    project = place.root / "Spanish"
    (project / "notes").mkdir(parents=True)
    (project / "notes" / "old.txt").write_text("gone")
    dialogs.yes_no.append(True)
    generate(app, "Spanish")
    assert files(project) == ["dialogue.txt", "english.dat", "font/"]
    assert panel(app).startswith(f"Deleted folder: {project}\nCreated dialogue.txt\n")


def test_images_land_in_their_subfolders_and_unsafe_keys_are_refused(place, open_app, tmp_path):
    rec = gen.make_record("tiny")
    rec["img_data"] = {"img/ui/title": b"\x89PNG one", "../outside": b"no", "img/!icon": b"two"}
    path = write_dat(tmp_path / "game" / "lang.dat", rec)
    app = open_app(path)
    generate(app, "Spanish", "TXT", "PNG")
    project = place.root / "Spanish"
    assert (project / "img" / "ui" / "title.png").read_bytes() == b"\x89PNG one"
    assert (project / "img" / "!icon.png").read_bytes() == b"two"
    assert not (place.root / "outside.png").exists()
    lines = panel(app).splitlines()
    assert lines[1:4] == ["Saved image: title.png",
                          "Refused image outside the project folder: ../outside",
                          "Saved image: !icon.png"]
