"""What the window tests share: each test gets its own application-data folder, a tool folder
(the host executable's folder, so `root_dir`), a stand-in for the file explorer, recorded
message boxes and file dialogs, game data written by the generator, and windows that are
closed and checked for errors that reached Tk."""

import ctypes
import os
import pickle
import sys
import zlib
from pathlib import Path

import pytest

import verbix

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
import make_game_data as gen  # noqa: E402
from stand_in import recording_opener  # noqa: E402

TOOL_PARTS = ("VosselTarnWimble", "Tools", "Translation Tool")


def write_dat(path, value):
    """A container file as the game's tools write it."""
    path = Path(path)
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(zlib.compress(pickle.dumps(value, protocol=4), 6))
    return path


def read_dat(path):
    return pickle.loads(zlib.decompress(Path(path).read_bytes()))


def panel(app):
    """The log panel's text."""
    return app.log_text.get("1.0", "end-1c")


class Dialogs:
    """Stand-ins for tkinter's message boxes and file dialogs, recording every call. A dialog
    whose answer was not set fails the test: under Xvfb a real one would wait forever."""

    def __init__(self):
        self.calls = []
        self.open_file = []  # answers of askopenfilename, in order
        self.directory = []
        self.yes_no = []

    def _answer(self, kind, answers, kwargs):
        self.calls.append((kind, kwargs))
        if not answers:
            raise AssertionError(f"unexpected {kind} dialog: {kwargs}")
        answer = answers.pop(0)
        if isinstance(answer, BaseException):
            raise answer
        return answer

    def showerror(self, *args, **kwargs):
        self.calls.append(("showerror", kwargs))
        return "ok"

    def askyesno(self, *args, **kwargs):
        return self._answer("askyesno", self.yes_no, kwargs)

    def askopenfilename(self, *args, **kwargs):
        return self._answer("askopenfilename", self.open_file, kwargs)

    def askdirectory(self, *args, **kwargs):
        return self._answer("askdirectory", self.directory, kwargs)

    def of(self, kind):
        return [kw for k, kw in self.calls if k == kind]


@pytest.fixture
def dialogs(monkeypatch):
    import tkinter.filedialog
    import tkinter.messagebox

    d = Dialogs()
    monkeypatch.setattr(tkinter.messagebox, "showerror", d.showerror)
    monkeypatch.setattr(tkinter.messagebox, "askyesno", d.askyesno)
    monkeypatch.setattr(tkinter.filedialog, "askopenfilename", d.askopenfilename)
    monkeypatch.setattr(tkinter.filedialog, "askdirectory", d.askdirectory)
    return d


@pytest.fixture
def place(tmp_path, monkeypatch, utils):
    """The folders of one test: APPDATA, the tool folder (`root_dir`) and the opener's record."""

    class Place:
        appdata = tmp_path / "appdata"
        root = tmp_path / "tool"
        tool_dir = appdata.joinpath(*TOOL_PARTS)
        cfg = tool_dir / "tool.cfg"
        opened = tmp_path / "opened.txt"

        def opened_paths(self, expected=1):
            """The folders the file explorer was asked to open. The opener runs detached:
            wait (a while at most) for the expected number of them."""
            import time

            deadline = time.monotonic() + 20
            while True:
                lines = self.opened.read_text().splitlines() if self.opened.exists() else []
                if len(lines) >= expected or time.monotonic() > deadline:
                    return [line.rstrip("/" + os.sep) for line in lines]
                time.sleep(0.02)

    p = Place()
    p.root.mkdir()
    monkeypatch.setenv("APPDATA", str(p.appdata))
    monkeypatch.setattr(verbix.utils, "executable", str(p.root / "verbix.exe"))
    opener = recording_opener(tmp_path, p.opened)
    monkeypatch.setenv("VERBIX_OPENER", str(opener))
    return p


@pytest.fixture
def game(tmp_path):
    """The tiny generated game data, as a lang.dat outside the tool folder, and its record."""
    path = tmp_path / "game" / "lang.dat"
    rec = gen.write_lang_dat(path, "tiny")
    return path, rec


# Under Wine a new Tcl interpreter now and then cannot read its init.tcl ("couldn't read
# file ...: Success"), a fault of Wine's file reading, not of the tool's, seen in about one
# window start in twenty: such a start is tried once more.
UNDER_WINE = sys.platform == "win32" and hasattr(ctypes.WinDLL("ntdll"), "wine_get_version")


@pytest.fixture
def open_app(place, dialogs):
    """Opens windows for the test (`open_app(first_file)`), closes those still open after it
    and fails the test if an error reached Tk's callback loop."""
    apps, tk_errors = [], []

    def make(first_file=""):
        try:
            app = verbix.App(str(first_file))
        except RuntimeError as e:
            if not (UNDER_WINE and "init.tcl" in str(e)):
                raise
            app = verbix.App(str(first_file))
        app.root.report_callback_exception = lambda *exc: tk_errors.append(exc)
        app.root.update()
        apps.append(app)
        return app

    yield make
    for app in apps:
        if app.is_open:
            app.on_close()
    assert tk_errors == []


@pytest.fixture
def app(open_app, game):
    """A window started on the generated game data."""
    return open_app(game[0])


def run_python(code, env, cwd):
    """Runs code in a fresh interpreter; returns (exit code, stdout, stderr)."""
    import subprocess

    result = subprocess.run([sys.executable, "-c", code], env={**os.environ, **env}, cwd=cwd,
                            capture_output=True, text=True, timeout=120)
    return result.returncode, result.stdout, result.stderr
