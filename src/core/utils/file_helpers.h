// File and folder operations of the utilities object. Each logs its outcome through the
// log service and turns failures into its result and an error line; only
// delete_empty_subdirs passes a failure on (as OsError). Deleting and copying fall back to
// the command interpreter (cmd on Windows, rm and cp elsewhere) when the direct step fails.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "utils/csv_dialect.h"
#include "utils/paths.h"

namespace verbix {

// True when the folder of `p_path` exists afterwards: the path itself, or its parent when
// the path is an existing file or its last component has an extension. False after an
// error, which is logged.
bool ensure_dir(std::string_view p_path);

// Opens the folder in the file explorer, with `p_file` selected where the platform can.
// A missing path, or an opener that cannot be started, is logged.
void open_dir(std::string_view p_path, std::string_view p_file = {});

// Deletes every empty folder below `p_root` (deepest first); `p_root` stays.
// Throws OsError when a folder cannot be listed.
void delete_empty_subdirs(std::string_view p_root);

// True when nothing is left at the path (it was missing or is deleted); false when both
// the direct deletion and the command interpreter failed.
bool delete_dir(std::string_view p_dir, bool p_verbose = false);
bool delete_file(std::string_view p_file, bool p_verbose = false);

// Copies the file with its modification time and permission bits. An existing destination
// is kept when `p_force` is false. A destination without extension that does not exist is
// taken as a folder and the copy lands inside it.
void copy_file(std::string_view p_src, std::string_view p_dst, bool p_force = true);

// The log lines of one kind of save: the line of success and the prefixes of the error
// lines of an operating-system failure and of any other, each followed by the file's path.
struct SaveWords {
  std::string_view saved;
  std::string_view io_error;
  std::string_view error;
};

// The writers' policy: runs `p_write`; logs the success line and returns 0 when it returns,
// logs the failure and returns 1 when it throws.
int save_reporting(const std::string& p_abs, const SaveWords& p_words,
                   const std::function<void()>& p_write);

// Writes UTF-8 text with the platform's line endings. Returns 0 on success, 1 on failure.
int txt_save(std::string_view p_path, std::string_view p_data);

// The file's text with line breaks as "\n"; the empty text when the file is missing;
// nothing after an error (invalid UTF-8 included). For a file that is not UTF-8, `p_problem`
// (when given) says so for the user: the file, the line, and how to fix it.
std::optional<std::string> txt_load(std::string_view p_path, std::string* p_problem = nullptr);

// Writes the rows in the CSV dialect. Returns 0 on success, 1 on failure.
int csv_save(std::string_view p_path, const CsvTable& p_csv);

// The rows of the file, separated by ',' or, as some spreadsheets save, by ';' or a tab
// (csv_separator); nothing when it is missing or after an error.
std::optional<CsvTable> csv_load(std::string_view p_path);

// csv_load, which also leaves in `p_problem`, for a file that is not UTF-8, the message that
// names the fix: "<file name> is not UTF-8 text (row R): save it as CSV UTF-8 and try again."
std::optional<CsvTable> csv_load(std::string_view p_path, std::string& p_problem);

// A CSV file's text, checked to parse, with its separator and number of rows.
struct CsvText {
  std::string text;
  char sep = ',';
  std::size_t rows = 0;
};

// As csv_load (the same checks, log lines and problem text), but the text and not its rows:
// a reader then takes the rows one at a time (csv_each_row), and a large file's table is
// never held whole.
std::optional<CsvText> csv_load_text(std::string_view p_path, std::string& p_problem);

}  // namespace verbix
