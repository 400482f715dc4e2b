"""Stand-in programs for the tests: a Python script that the system can start as a program
with arguments. POSIX starts the script itself (its first line names this Python); Windows
cannot start a script, so a command file beside it runs this Python on it."""

import sys
from pathlib import Path


def program_path(folder: Path, name: str) -> Path:
    """The path to start of the program NAME written by program()."""
    return folder / (f"{name}.cmd" if sys.platform == "win32" else f"{name}.py")


def program(folder: Path, name: str, source: str) -> Path:
    """Writes the script NAME.py of SOURCE into FOLDER; returns the path to start."""
    script = folder / f"{name}.py"
    script.write_text(f"#!{sys.executable}\n{source}", encoding="utf-8")
    if sys.platform == "win32":
        program_path(folder, name).write_text(f'@"{sys.executable}" "{script}" %*\r\n',
                                              encoding="utf-8")
    else:
        script.chmod(0o755)
    return program_path(folder, name)


def recording_opener(folder: Path, record: Path) -> Path:
    """A file explorer that appends the path it is given to RECORD, one line each."""
    return program(folder, "opener", f"import sys\nwith open({str(record)!r}, 'a', "
                   "encoding='utf-8') as f:\n    f.write(sys.argv[1] + '\\n')\n")
