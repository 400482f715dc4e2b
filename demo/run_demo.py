"""What the tool can do today, on the bundled sample data: the utilities object logs to a
log folder, writes and reads text and CSV files, and reports where it was loaded from."""

import pathlib
import sys

import verbix

out = pathlib.Path(__file__).resolve().parent.parent / "build" / "demo"
u = verbix.utils
u.log_dir_and_file(str(out / "logs"), "log.txt")
print("module folder:", u.dir(), "| from source:", u.is_script(), "| host:", u.file_dir())

rows = [["ID", "Source", "English", "Translation"], ["12", "Anna", "Hello, world!", "¡Hola, mundo!"]]
u.csv_save(str(out / "dialogue.csv"), rows)
assert u.csv_load(str(out / "dialogue.csv")) == rows
u.txt_save(str(out / "dialogue.txt"), "[LANGUAGE]\nEspañol\n")
u.txt_load(str(out / "dialogue.txt"))
u.log_flush()
print("log file:", u.current_log)
sys.exit(0)
