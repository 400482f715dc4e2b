"""Shared fixtures: the module's utilities object reset for each test, its log pointed into
the test's temporary folder."""

import pytest

import verbix


@pytest.fixture
def utils(tmp_path):
    u = verbix.utils
    u.LOG_FMAX, u.LOG_WAIT, u.ERR_WAIT, u.CSH_WAIT = 100, True, False, True
    u._output, u._errors, u.current_log, u.log_thread_halt = [], [], "", False
    u.log_dir_and_file(str(tmp_path / "logs"), "log.txt")
    yield u
    u._output, u._errors, u.current_log = [], [], ""


class Recorder:
    """A window stand-in that records what the reporting functions ask of it."""

    def __init__(self, answer=True):
        self.calls = []
        self.answer = answer

    def append_log(self, msg):
        self.calls.append(("append_log", msg))
        verbix.utils.info(msg)

    def save_log(self):
        self.calls.append(("save_log",))

    def popup_error(self, msg, title="Error"):
        self.calls.append(("popup_error", msg, title))

    def popup_yes_no(self, msg, title="Confirm"):
        self.calls.append(("popup_yes_no", msg, title))
        return self.answer


@pytest.fixture
def recorder():
    return Recorder()
