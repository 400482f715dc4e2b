"""The window under Xvfb against the real toolkit: first start, the configuration carried
between runs, the search for the game's language data, the icon and the window's shape, and
the guard that keeps errors of commands out of Tk's callback loop."""

import base64
import os
import sys
import zlib
from pathlib import Path

import pytest

import verbix
from window_harness import (TOOL_PARTS, app, dialogs, game, gen, open_app, panel, place,  # noqa: F401
                            read_dat, run_python, write_dat)

DEFAULTS = {"create_format": "TXT", "create_images": "NONE", "update_target": "",
            "update_format": "TXT", "update_images": "Replace All", "update_backup": True,
            "build_target": "", "build_output": "", "language_file": ""}


def shown(app):
    """The configuration as the widgets show it."""
    return {"create_format": app.create_format_opt.get(),
            "create_images": app.create_images_opt.get(),
            "update_target": app.update_target_pth.get(),
            "update_format": app.update_format_opt.get(),
            "update_images": app.update_images_opt.get(),
            "update_backup": app.update_backup_tog.get() == 1,
            "build_target": app.build_target_pth.get(),
            "build_output": app.build_output_pth.get()}


# -- First start --------------------------------------------------------------------------

def test_first_start_makes_the_tool_folder_and_shows_the_defaults(place, game, open_app):
    path, rec = game
    sections_before = list(verbix.SECTIONS)
    app = open_app(path)

    folder = place.appdata
    for part in TOOL_PARTS + ("logs",):
        folder = folder / part
        assert folder.is_dir(), folder
    assert app.ico_file == str(place.tool_dir / "tool.ico")
    assert app.cfg_file == str(place.cfg)
    assert app.root_dir == str(place.root)

    assert shown(app) == {k: v for k, v in DEFAULTS.items() if k != "language_file"}
    assert app.cfg_data == DEFAULTS
    assert app.data == rec
    assert app.title() == "Translation Tool  [Version " + rec["ver_hash"] + "]"
    assert list(verbix.SECTIONS) == sections_before + list(rec["sections"])
    assert panel(app) == "Successfully loaded language data.\n"
    log = Path(verbix.utils.current_log)
    assert log.parent == place.tool_dir / "logs" and log.name.startswith("log_")
    assert "Successfully loaded language data." in log.read_text(encoding="utf-8").splitlines()


def test_under_a_python_interpreter_projects_go_where_the_command_started(
        place, game, open_app, monkeypatch, tmp_path):
    # The console script's host is the venv's python: its bin folder is no place for projects.
    monkeypatch.setattr(verbix.utils, "executable", str(place.root / "bin" / "python3.12"))
    started = tmp_path / "work"
    started.mkdir()
    monkeypatch.chdir(started)
    assert open_app(game[0]).root_dir == str(started)


@pytest.mark.skipif(sys.platform == "win32", reason="a POSIX rule: Windows always has APPDATA")
@pytest.mark.parametrize("xdg", [True, False], ids=["XDG_CONFIG_HOME", "home"])
def test_without_appdata_the_tool_folder_goes_to_the_configuration_folder(
        place, game, open_app, monkeypatch, tmp_path, xdg):
    monkeypatch.delenv("APPDATA")
    monkeypatch.setenv("HOME", str(tmp_path / "home"))
    if xdg:
        monkeypatch.setenv("XDG_CONFIG_HOME", str(tmp_path / "xdg"))
    else:
        monkeypatch.delenv("XDG_CONFIG_HOME", raising=False)
    app = open_app(game[0])
    base = tmp_path / "xdg" if xdg else tmp_path / "home" / ".config"
    assert app.cfg_file == str(base.joinpath(*TOOL_PARTS, "tool.cfg"))
    assert (base.joinpath(*TOOL_PARTS) / "tool.ico").is_file()


def test_start_removes_the_files_of_the_earlier_layout_and_a_cut_short_save(place, game,
                                                                           open_app):
    base = place.appdata / "VosselTarnWimble" / "Tools"
    tools = base.joinpath(*TOOL_PARTS[2:])
    tools.mkdir(parents=True)
    (base / "verbix.png").write_bytes(b"old")
    (base / "verbix.cfg").write_bytes(b"old")
    (tools / "tool.cfg.tmp-verbix-123456").write_bytes(b"half")
    (tools / "notes.tmp").write_bytes(b"the user's")
    open_app(game[0])
    assert not (base / "verbix.png").exists() and not (base / "verbix.cfg").exists()
    assert sorted(p.name for p in tools.glob("*tmp*")) == ["notes.tmp"]


def test_the_icon_file_is_the_decoded_blob_and_one_image(app):
    ico = Path(app.ico_file).read_bytes()
    assert ico == zlib.decompress(base64.b64decode(verbix.VOSSEL_ICO))
    assert ico[:6] == b"\0\0\1\0\1\0"  # an icon file of one image


def test_elsewhere_than_windows_the_icon_is_set_as_the_same_picture(place, game, open_app,
                                                                    monkeypatch):
    import customtkinter

    photos = []
    original = customtkinter.CTk.iconphoto
    monkeypatch.setattr(customtkinter.CTk, "iconphoto",
                        lambda self, default, *images: (photos.extend(images),
                                                        original(self, default, *images)))
    app = open_app(game[0])
    if app.root.tk.call("tk", "windowingsystem") == "win32":
        pytest.skip("Windows takes the .ico itself")
    (photo,) = photos
    assert (photo.width(), photo.height()) == (48, 48)
    assert photo.transparency_get(0, 0)  # the corner is clear
    assert photo.get(6, 24) == (31, 106, 165)  # the bubble's blue, as the .ico holds it


def test_the_window_is_centred_and_resizable_in_width_only(app):
    x = (app.winfo_screenwidth() - verbix.W) // 2
    y = (app.winfo_screenheight() - verbix.H) // 2
    assert app.root.wm_geometry() == f"{verbix.W}x{verbix.H}+{x}+{y}"
    assert app.root.wm_minsize() == (verbix.W, verbix.H)
    assert app.root.wm_resizable() == (True, False)


def test_the_tabs_and_the_texts_of_the_window(app):
    tabs = app.tabview
    assert [tabs.get(i) for i in range(tabs.len())] == ["Create", "Update", "Build"]
    assert [tabs.tab(n) for n in ("Create", "Update", "Build")] == [app.tab_new, app.tab_upd,
                                                                   app.tab_bld]
    # The tabs keep their size at the left; the log panel takes the rest at the right.
    assert app.tab_frame.winfo_width() == 400
    assert app.tab_frame.winfo_x() + 400 < app.log_frame.winfo_x()
    assert app.log_frame.winfo_x() + app.log_frame.winfo_width() > verbix.W - 20
    texts = {name: getattr(app, name).cget("text") for name in (
        "create_folder_lbl", "create_format_lbl", "create_images_lbl", "create_folder_btn",
        "update_target_lbl", "update_target_btn", "update_images_lbl", "update_format_lbl",
        "update_backup_lbl", "update_check_btn", "update_button", "build_target_lbl",
        "build_target_sel", "build_output_lbl", "build_output_sel", "build_button",
        "log_label", "log_open")}
    assert texts == {
        "create_folder_lbl": "Folder", "create_format_lbl": "Format",
        "create_images_lbl": "Images", "create_folder_btn": "Generate Folder",
        "update_target_lbl": "Target", "update_target_btn": "...", "update_images_lbl": "Images",
        "update_format_lbl": "Format", "update_backup_lbl": "Backup", "update_check_btn": "Check",
        "update_button": "Update", "build_target_lbl": "Target", "build_target_sel": "...",
        "build_output_lbl": "Output", "build_output_sel": "...",
        "build_button": "Build Target Folder", "log_label": "Logging",
        "log_open": "Open Log Folder"}
    assert app.create_format_opt.cget("values") == verbix.OPT_FORMAT == ["TXT", "CSV"]
    assert app.create_images_opt.cget("values") == verbix.OPT_IMAGES == ["NONE", "PNG"]
    assert app.update_images_opt.cget("values") == verbix.OPT_CHANGE
    assert app.create_folder_inp.cget("font") == ("Trebuchet MS", 18)
    assert app.log_text.cget("font") == ("Consolas", 12)
    assert app.log_text._textbox.cget("state") == "disabled"
    for entry in ("update_target_pth", "build_target_pth", "build_output_pth"):
        assert getattr(app, entry).cget("state") == "readonly"


# -- Configuration --------------------------------------------------------------------------

@pytest.mark.parametrize("stored, expected", [
    ({"create_images": "png"}, {"create_images": "PNG"}),
    ({"create_images": "JPG"}, {"create_images": "PNG"}),
    ({"create_format": "xml"}, {"create_format": "TXT"}),
    ({"create_format": "csv"}, {"create_format": "CSV"}),
    ({"update_format": "Csv"}, {"update_format": "CSV"}),
    ({"update_format": 7}, {"update_format": "TXT"}),
    ({"update_backup": 0}, {"update_backup": False}),
    ({"update_backup": "no"}, {"update_backup": True}),
    ({"update_backup": False}, {"update_backup": False}),
    ({"update_images": "Change Nothing"}, {"update_images": "Change Nothing"}),
    ({"language_file": 12, "other": "x"}, {"language_file": "12"}),
], ids=repr)
def test_stored_settings_are_converted_and_corrected(place, game, open_app, stored, expected):
    write_dat(place.cfg, stored)
    app = open_app(game[0])
    assert app.cfg_data == {**DEFAULTS, **expected}
    assert shown(app) == {k: v for k, v in {**DEFAULTS, **expected}.items()
                          if k != "language_file"}


def test_remembered_paths_are_kept_only_while_they_exist(place, game, open_app, tmp_path):
    target = tmp_path / "proj" / "dialogue.txt"
    target.parent.mkdir()
    target.write_text("x")
    write_dat(place.cfg, {"update_target": str(target), "build_target": str(tmp_path / "gone.txt"),
                          "build_output": str(target.parent), "create_images": "NONE"})
    app = open_app(game[0])
    assert app.update_target_pth.get() == str(target)
    assert app.build_target_pth.get() == ""
    assert app.build_output_pth.get() == str(target.parent)


def test_a_configuration_file_that_does_not_decode_gives_the_defaults(place, game, open_app):
    place.cfg.parent.mkdir(parents=True)
    place.cfg.write_bytes(b"not a container")
    assert open_app(game[0]).cfg_data == DEFAULTS


def test_closing_stores_the_widget_values(place, game, open_app, tmp_path):
    app = open_app(game[0])
    app.update_backup_tog.deselect()
    app.create_format_opt.set("CSV")
    app.update_images_opt.set("Replace Missing")
    app.set_lbl(app.build_output_pth, str(tmp_path))
    app.on_close()
    assert not app.is_open
    stored = read_dat(place.cfg)
    assert stored == {**DEFAULTS, "create_format": "CSV", "update_images": "Replace Missing",
                      "update_backup": False, "build_output": str(tmp_path)}
    assert list(stored) == list(DEFAULTS)

    again = open_app(game[0])
    assert again.update_backup_tog.get() == 0
    assert again.create_format_opt.get() == "CSV"


# -- Locating the language data -------------------------------------------------------------

def test_translator_dat_beside_the_tool_wins_over_the_remembered_file(place, game, open_app,
                                                                      tmp_path):
    remembered = tmp_path / "elsewhere" / "lang.dat"
    gen.write_lang_dat(remembered, "tiny", version=2)
    local = gen.write_lang_dat(place.root / "Translator.dat", "tiny", version=1)
    write_dat(place.cfg, {"language_file": str(remembered)})
    app = open_app()
    assert app.title() == "Translation Tool  [Version " + local["ver_hash"] + "]"
    assert app.cfg_data["language_file"] == str(remembered)
    app.on_close()
    assert read_dat(place.cfg)["language_file"] == str(remembered)


def test_a_file_picked_at_start_is_remembered(place, game, open_app, dialogs):
    path, rec = game
    dialogs.open_file.append(str(path))
    app = open_app()
    (kw,) = dialogs.of("askopenfilename")
    assert kw["title"] == "Locate game's lang.dat file."
    assert kw["initialdir"] == str(place.root)
    assert list(kw["filetypes"]) == [("DAT files", "*.dat")]
    assert app.cfg_data["language_file"] == str(path)
    app.on_close()

    again = open_app()  # no dialog answer is set: a second dialog would fail the test
    assert again.title().endswith(rec["ver_hash"] + "]")
    assert len(dialogs.of("askopenfilename")) == 1


def test_missing_and_invalid_files_are_logged_and_the_search_goes_on(place, game, open_app,
                                                                     dialogs, tmp_path):
    bad = write_dat(place.root / "Translator.dat", {"ver_hash": "x"})
    missing = tmp_path / "missing.dat"
    write_dat(place.cfg, {"language_file": str(missing)})
    # Valid by its keys, but its sections cannot be listed: refused too, not a crash.
    listed = write_dat(tmp_path / "listed.dat", dict(game[1], sections=["ch01.json"]))
    dialogs.open_file.append(str(game[0]))
    open_app(listed)
    log = Path(verbix.utils.current_log).read_text("utf-8").splitlines()
    assert "Data format invalid for file: " + str(listed) in log
    assert "Data format invalid for file: " + str(bad) in log
    assert "Unable to locate data file: " + str(missing) in log


def test_the_file_given_first_is_loaded_before_the_search(place, game, open_app):
    gen.write_lang_dat(place.root / "Translator.dat", "tiny", version=2)
    app = open_app(game[0])
    assert app.title().endswith(game[1]["ver_hash"] + "]")


SUBPROCESS_START = """
import sys, tkinter.filedialog, tkinter.messagebox
import verbix
verbix.utils.executable = sys.argv[1] if len(sys.argv) > 1 else {exe!r}
tkinter.filedialog.askopenfilename = lambda *a, **k: ""
tkinter.messagebox.showerror = lambda *a, **k: print("BOX:", k["title"], k["message"])
verbix.App()
print("still running")
"""


def test_a_cancelled_start_dialog_ends_the_process_without_saving(place, tmp_path):
    code = SUBPROCESS_START.format(exe=str(place.root / "verbix.exe"))
    status, out, err = run_python(code, {"APPDATA": str(place.appdata)}, tmp_path)
    assert status == 1, err
    assert "ERROR: Failed to locate a valid language data file." in out
    assert "BOX: Error Failed to locate a valid language data file." in out
    assert "still running" not in out
    assert not place.cfg.exists()
    (log,) = (place.tool_dir / "logs").iterdir()
    assert "ERROR: Failed to locate a valid language data file." in log.read_text("utf-8")


@pytest.mark.skipif(sys.platform == "win32",
                    reason="an X11 rule: a Windows desktop always has its display")
def test_without_a_display_the_command_says_so_in_one_line(tmp_path, game):
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env["APPDATA"] = str(tmp_path / "appdata")
    import subprocess

    result = subprocess.run([sys.executable, "-c", "import sys, verbix; sys.exit(verbix.main())",
                             str(game[0])], env=env, capture_output=True, text=True, timeout=60)
    assert result.returncode == 1
    assert result.stderr.startswith("verbix: cannot open the window, no display: ")
    assert len(result.stderr.splitlines()) == 1 and "Traceback" not in result.stderr


# -- Commands and the closed window ---------------------------------------------------------

def test_an_error_inside_a_command_is_logged_and_shown(app, dialogs, place):
    (place.root / "Busy").mkdir()
    app.create_folder_inp.insert(0, "Busy")
    dialogs.yes_no.append(RuntimeError("the box broke"))
    app.create_folder_btn.invoke()  # the open_app fixture checks that Tk saw no error
    message = "Unexpected error in generate_folder: RuntimeError: the box broke"
    assert panel(app).endswith("ERROR: " + message + "\n")
    assert dialogs.of("showerror")[-1]["message"] == message
    assert message.join(["ERROR: ", ""]) in Path(verbix.utils.current_log).read_text("utf-8")


def test_commands_of_a_closed_window_do_nothing(app):
    command = app.create_folder_btn._command
    app.on_close()
    assert command() is None  # a stale button would otherwise reach the destroyed window
    app.append_log("after closing")  # reporting still reaches the log
    assert verbix.utils._output[-1] == "after closing"
