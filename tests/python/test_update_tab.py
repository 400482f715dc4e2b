"""The Update tab in the real window: the "..." button, Check and Update on the loaded game
data, and the input block that holds while they run and is lifted on every way out."""

import tkinter.messagebox

import pytest

import verbix
from window_harness import dialogs, gen, open_app, panel, place  # noqa: F401

BUTTONS = ("update_target_btn", "update_check_btn", "update_button", "create_folder_btn",
           "build_button")


@pytest.fixture
def project(tmp_path):
    """A translated project of the tiny game's first version, and its second version."""
    old = gen.make_record("tiny", version=1)
    folder = tmp_path / "Spanish"
    folder.mkdir()
    path = folder / "dialogue.txt"
    for key in old["sections"]:
        if key not in verbix.SECTIONS:
            verbix.SECTIONS.append(key)
    path.write_text(verbix.dat_2_txt(gen.translate_record(old)), encoding="utf-8")
    return path


@pytest.fixture
def app(open_app, tmp_path):  # noqa: F811
    """A window on the second version of the tiny game."""
    lang = tmp_path / "game" / "lang.dat"
    gen.write_lang_dat(lang, "tiny", version=2)
    return open_app(lang)


def states(app):
    return {name: str(getattr(app, name).cget("state")) for name in BUTTONS}


def click(widget):
    """Queues a mouse click on a customtkinter button, as the user's would arrive."""
    for kind in ("<Enter>", "<Button-1>", "<ButtonRelease-1>"):
        widget._canvas.event_generate(kind, x=3, y=3, when="tail")


@pytest.mark.parametrize("name, form", [("dialogue.CSV", "CSV"), ("Dialogue.txt", "TXT")])
def test_the_file_button_sets_the_entry_and_the_format(app, dialogs, tmp_path, name, form):  # noqa: F811
    chosen = tmp_path / name
    chosen.write_text("x")
    app.update_format_opt.set("CSV" if form == "TXT" else "TXT")
    dialogs.open_file += [str(chosen), ""]
    app.update_target_btn.invoke()
    assert app.update_target_pth.get() == str(chosen) == app.get_update_file()
    assert app.update_format_opt.get() == form
    assert panel(app).endswith(f"Selected file: {chosen}\n")
    app.update_target_btn.invoke()  # cancelled: nothing changes
    assert app.update_target_pth.get() == str(chosen)
    assert dialogs.of("askopenfilename")[0]["title"] == "Select Translation File"


def test_check_shows_the_report_and_changes_nothing(app, project, utils):
    from conftest import Recorder

    before = project.read_bytes()
    app.set_lbl(app.update_target_pth, str(project))
    app.update_check_btn.invoke()
    recorder = Recorder()
    verbix.check_translation(app.data, str(project), recorder)
    shown = "".join(c[1] + "\n" for c in recorder.calls if c[0] == "append_log")
    assert panel(app) == shown
    assert shown.startswith("---------------------------\n CHECKING TRANSLATION FILE \n")
    assert "Content ID update: yrrRQ30Q -> w7ZvbBvC\n" in shown and "Additions: " in shown
    assert project.read_bytes() == before
    # verify, shared by Check and Update, gives the merged record without writing anything.
    merged = app.verify()
    assert merged["ver_hash"] == app.data["ver_hash"] and project.read_bytes() == before


def test_update_returns_the_merged_record_or_none(app, project, dialogs, monkeypatch, tmp_path):  # noqa: F811
    monkeypatch.setattr(tkinter.messagebox, "askyesno", lambda *a, **k: True)
    app.set_lbl(app.update_target_pth, str(project))
    app.update_format_opt.set("TXT")
    merged = app.update()
    written = verbix.dlg_data(str(project))[0]
    assert merged["ver_hash"] == written["ver_hash"] == app.data["ver_hash"]
    assert merged["sys_lbls"] == written["sys_lbls"]
    app.set_lbl(app.update_target_pth, str(tmp_path / "gone" / "dialogue.txt"))
    assert app.update() is None


def test_input_is_blocked_while_update_runs(app, project, monkeypatch, place):  # noqa: F811
    import time

    app.tabview.set("Update")  # clicks reach only a shown button
    for _ in range(3):
        time.sleep(0.06)
        app.root.update()
    app.set_lbl(app.update_target_pth, str(project))
    app.update_format_opt.set("TXT")
    app.update_images_opt.set("Change Nothing")
    normal = states(app)
    seen = []

    def ask(*args, **kwargs):  # the question comes while the update runs
        seen.append(states(app))
        click(app.update_check_btn)
        return True

    monkeypatch.setattr(tkinter.messagebox, "askyesno", ask)
    app.update_button.invoke()
    app.root.update()
    assert seen == [{name: "disabled" for name in BUTTONS}]
    assert "Successfully updated" in panel(app)
    assert "CHECKING" not in panel(app)  # the click queued during the update was dropped
    assert states(app) == normal and app.root.bind_all("<Button>") == ""
    click(app.update_check_btn)  # the same click, once input is back, runs Check
    app.root.update()
    assert panel(app).startswith("---------------------------\n CHECKING TRANSLATION FILE \n")


def test_an_error_stop_gives_input_back(app, dialogs, tmp_path):  # noqa: F811
    normal = states(app)
    missing = tmp_path / "gone" / "dialogue.txt"
    app.set_lbl(app.update_target_pth, str(missing))
    app.update_button.invoke()
    assert [kw["message"] for kw in dialogs.of("showerror")] == [f"File doesn't exist:\n{missing}"]
    assert states(app) == normal and app.root.bind_all("<Key>") == ""
    app.update_format_opt.set("DOCX")  # the combo box is editable
    app.set_lbl(app.update_target_pth, str(tmp_path))
    app.update_button.invoke()
    assert dialogs.of("showerror")[-1]["message"] == "Failed to update unknown file type: docx"
    assert states(app) == normal


def test_the_targets_follow_a_change_of_form(app, project, dialogs):  # noqa: F811
    app.set_lbl(app.update_target_pth, str(project))
    app.set_lbl(app.build_target_pth, str(project))
    app.update_format_opt.set("CSV")
    app.update_images_opt.set("Change Nothing")
    dialogs.yes_no.append(True)
    app.update_button.invoke()
    new = project.with_suffix(".csv")
    assert new.is_file() and not project.exists()
    assert app.update_target_pth.get() == str(new) == app.build_target_pth.get()
    app.update_check_btn.invoke()  # the next Check reads the new file
    assert "Couldn't load" not in panel(app) and "Additions: " in panel(app)
    assert dialogs.of("showerror") == []


def test_the_progress_bar_moves_while_update_writes_many_images(open_app, tmp_path, project,  # noqa: F811
                                                                dialogs, monkeypatch):
    from window_harness import write_dat

    game = gen.make_record("tiny", version=2)
    png = next(iter(game["img_data"].values()))
    game["img_data"] = {f"img/many/{n:03}": png for n in range(300)}
    app = open_app(write_dat(tmp_path / "many" / "lang.dat", game))
    shown = []
    real_set = app.progress_bar.set

    def record(value):
        shown.append((value, app.progress_lbl.cget("text")))
        real_set(value)

    monkeypatch.setattr(app.progress_bar, "set", record)
    app.set_lbl(app.update_target_pth, str(project))
    app.update_images_opt.set("Replace All")
    app.update_format_opt.set("TXT")
    dialogs.yes_no.append(True)
    app.update_button.invoke()
    assert "Successfully updated" in panel(app)
    writing = [(v, t) for v, t in shown if t.startswith("Writing images ")]
    assert len(writing) >= 50 and writing[-1] == (1.0, "Writing images 300/300")
    values = [v for v, _ in writing]
    assert values == sorted(values) and values[0] < 0.05
    assert "Writing images 150/300" in {t for _, t in writing}
    assert len(list((project.parent / "img" / "many").iterdir())) == 300


def test_the_images_combo_shows_its_longest_value_whole(app):  # noqa: F811
    import tkinter.font

    import time

    app.tabview.set("Update")  # sizes are known once the tab is shown
    for _ in range(3):
        time.sleep(0.06)
        app.root.update()
    entry = app.update_images_opt._entry
    font = tkinter.font.Font(font=entry.cget("font"))
    assert 1 < font.measure("Replace Missing") <= entry.winfo_width()


def test_the_panel_lists_changed_english_statistics_and_the_review_file(app, project, dialogs):  # noqa: F811
    """After an Update has written english.dat, a game whose English changed shows in Check's
    panel with the old English, followed by the statistics; Update names review.csv."""
    app.set_lbl(app.update_target_pth, str(project))
    app.update_format_opt.set("TXT")
    app.update_images_opt.set("Replace Untranslated")
    assert list(app.update_images_opt.cget("values"))[-1] == "Replace Untranslated"
    dialogs.yes_no.append(True)
    app.update_button.invoke()
    review = project.parent / "review.csv"
    assert review.is_file() and f", listed in {review}\n" in panel(app)
    assert (project.parent / "english.dat").is_file()

    # The English the project was made from differed in one label.
    baseline_path = str(project.parent / "english.dat")
    baseline = verbix.utils.dat_load(baseline_path)
    label, english = next(iter(app.data["sys_lbls"].items()))
    baseline["tables"]["sys_lbls"][label] = "Old " + english
    assert verbix.utils.dat_save(baseline_path, baseline) == 0
    app.update_check_btn.invoke()
    shown = panel(app).split(" CHECKING TRANSLATION FILE ")[-1]
    assert f"): {english}\n    was: Old {english}\n" in shown
    assert "\nEnglish changed: 1 (translations kept, to review)\n" in shown
    assert "\nStatistics:\n  Label: " in shown and "\n  Done: " in shown
