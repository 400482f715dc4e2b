"""The log panel and the dialogs of the window: lines shown at once and kept read-only, the
log file left alone by clearing, read-only entries, the choosers' answers, the message boxes,
the input block and the log folder."""

import os
from pathlib import Path

import verbix
from window_harness import app, dialogs, game, open_app, panel, place  # noqa: F401


def test_a_message_with_line_breaks_spans_lines_and_ends_with_one(app):
    app.clear_log()
    app.append_log("first\nsecond")
    app.append_log("third")
    assert panel(app) == "first\nsecond\nthird\n"
    assert verbix.utils._output[-2:] == ["first\nsecond", "third"]
    assert app.log_text._textbox.cget("state") == "disabled"  # still read-only for the user


def test_clearing_the_panel_leaves_the_log_file_intact(app):
    app.append_log("kept in the file")
    app.save_log()
    log = Path(verbix.utils.current_log)
    before = log.read_text("utf-8")
    app.clear_log()
    assert panel(app) == ""
    assert log.read_text("utf-8") == before
    assert "kept in the file" in before.splitlines()


def test_set_lbl_replaces_the_text_and_keeps_the_entry_read_only(app):
    entry = app.build_target_pth
    app.set_lbl(entry, "/first/path")
    app.set_lbl(entry, "second")
    assert entry.get() == "second"
    assert entry.cget("state") == "readonly"
    entry.insert(0, "typed ")  # what a user's typing would do: nothing
    assert entry.get() == "second"


def test_the_file_chooser(app, dialogs, tmp_path):
    chosen = tmp_path / "proj" / "dialogue.csv"
    chosen.parent.mkdir()
    chosen.write_text("x")
    dialogs.open_file += ["", (), str(chosen.parent / "." / "dialogue.csv"),
                          str(tmp_path / "missing.txt")]
    assert app.sel_file(str(tmp_path), "Select Translation File") == ""
    assert app.sel_file(str(tmp_path), "Select Translation File") == ""
    assert app.sel_file(str(tmp_path), "Select Translation File") == str(chosen)
    assert app.sel_file(str(tmp_path), "Select Translation File") == ""
    kw = dialogs.of("askopenfilename")[0]
    assert (kw["title"], kw["initialdir"]) == ("Select Translation File", str(tmp_path))
    (label, patterns), = kw["filetypes"]
    assert label == "Dialogue File"
    if app.root.tk.call("tk", "windowingsystem") == "win32":
        assert patterns == "*.csv;*.txt"
    else:
        assert tuple(patterns) == ("*.csv", "*.txt")  # Tk's X11 dialog takes a list


def test_the_folder_chooser(app, dialogs, tmp_path):
    dialogs.directory += ["", str(tmp_path) + "/out/../out2/", "relative/./dir"]
    assert app.sel_dir(str(tmp_path), "Select Output Folder") == ""
    assert app.sel_dir(str(tmp_path), "Select Output Folder") == str(tmp_path / "out2")
    assert app.sel_dir(str(tmp_path), "Select Output Folder") == os.path.normpath("relative/dir")
    assert dialogs.of("askdirectory")[0]["title"] == "Select Output Folder"


def test_the_message_boxes(app, dialogs):
    dialogs.yes_no += [True, False]
    assert app.popup_yes_no("Go on?") is True
    assert app.popup_yes_no("Really?", "Sure") is False
    app.popup_error("It broke.")
    assert [(k["title"], k["message"]) for k in dialogs.of("askyesno")] == [
        ("Confirm", "Go on?"), ("Sure", "Really?")]
    assert [(k["title"], k["message"]) for k in dialogs.of("showerror")] == [("Error", "It broke.")]


def test_the_module_level_error_reports_into_the_window(app, dialogs):
    assert verbix.error("Bad thing.", 5, app) == 5
    assert panel(app).endswith("ERROR: Bad thing.\n")
    assert "ERROR: Bad thing." in Path(verbix.utils.current_log).read_text("utf-8")
    assert dialogs.of("showerror")[-1]["message"] == "Bad thing."


EVENTS = ["<Key>", "<KeyPress>", "<KeyRelease>", "<Button>", "<ButtonPress>", "<ButtonRelease>",
          "<MouseWheel>", "<Button-4>", "<Button-5>"]


def test_input_block_binds_every_event_kind_until_enabled_once(app):
    app.input_disable()
    app.input_disable()
    bound = {e: app.root.bind_all(e) for e in EVENTS}
    assert all(bound.values()), bound
    app.input_enable()
    assert [e for e in EVENTS if app.root.bind_all(e)] == []


def test_open_logs_makes_the_log_folder_and_opens_it(app, place):
    verbix.utils.LOG_PATH = str(place.root / "fresh_logs")
    verbix.utils.current_log = ""
    app.log_open.invoke()
    assert (place.root / "fresh_logs").is_dir()
    assert place.opened_paths() == [str(place.root / "fresh_logs")]
