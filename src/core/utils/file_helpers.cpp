#include "utils/file_helpers.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <new>
#include <utility>

#include "text/py_text.h"
#include "text/utf8.h"
#include "utils/data_error.h"
#include "utils/file_io.h"
#include "utils/links.h"
#include "utils/log_service.h"
#include "utils/os_error.h"
#include "utils/process.h"
#include "utils/tool_folder.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX  // std::max below, not windows.h's macro
#endif
#include <windows.h>
#endif

namespace verbix {
namespace fs = std::filesystem;
namespace {

std::string trimmed_error(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
    text.pop_back();
  return text;
}

// The program standing in for the file explorer (VERBIX_OPENER, the tests' seam), or "".
std::string opener_override() { return environment_text("VERBIX_OPENER"); }

// Runs a command-interpreter fallback; returns nothing on success, else its error text.
std::optional<std::string> run_fallback(const std::vector<std::string>& argv) {
#ifdef _WIN32
  // The command interpreter expands %NAME% even inside quotes: a path holding "%" could
  // name another file to it, so such a path is never handed to it.
  for (const std::string& arg : argv)
    if (arg.find('%') != std::string::npos)
      return "the command interpreter would expand '%' in '" + arg + "'";
#endif
  try {
    const CommandResult result = run_command(argv);
    if (result.status == 0) return std::nullopt;
    std::string text = trimmed_error(result.err.empty() ? result.out : result.err);
    return text.empty() ? "exit status " + std::to_string(result.status) : text;
  } catch (const OsError& e) {
    return std::string(e.what());
  }
}

// Deletes a folder tree; refuses links and non-folders as a tree removal does.
void remove_tree(const std::string& dir) {
  if (is_link(dir)) throw OsError::from_errno(ELOOP, dir);
  if (!is_directory(dir)) throw OsError::from_errno(ENOTDIR, dir);
  std::error_code ec;
  fs::remove_all(fs_path(dir), ec);
  if (ec) throw OsError(ec, dir);
}

// Copies content, permission bits and modification time; a folder destination receives
// the file under its own name.
void copy_with_metadata(const std::string& src, const std::string& dst) {
  fs::path target = fs_path(dst);
  if (is_directory(dst)) target /= fs_path(src).filename();
  std::error_code ec;
  fs::copy_file(fs_path(src), target, fs::copy_options::overwrite_existing, ec);
  if (ec) throw OsError(ec, src);
  fs::permissions(target, fs::status(fs_path(src)).permissions(), ec);
  if (ec) throw OsError(ec, path_text(target));
  copy_modification_time(src, path_text(target));
}

void delete_empty_below(const std::string& dir) {
  std::vector<std::string> subdirs;
  std::error_code ec;
  for (fs::directory_iterator it(fs_path(dir), ec), end; it != end; it.increment(ec)) {
    if (ec) break;
    if (it->is_directory(ec) && !it->is_symlink(ec)) subdirs.push_back(path_text(it->path()));
  }
  if (ec) throw OsError(ec, dir);
  for (const std::string& sub : subdirs) delete_empty_below(sub);
  for (const std::string& sub : subdirs) {
    if (fs::is_empty(fs_path(sub), ec) && !ec) delete_dir(sub);
  }
}

// The fallback's error text, or nothing when it ran and the path is really gone: the
// interpreter's del reports success for files it could not delete.
std::optional<std::string> delete_by_command(const std::vector<std::string>& argv,
                                             const std::string& path) {
  auto error = run_fallback(argv);
  if (!error && path_exists(path)) error = "'" + path + "' still exists after the command";
  return error;
}

}  // namespace

bool ensure_dir(std::string_view p_path) {
  const std::string path = full_path(p_path);
  if (is_directory(path)) return true;
  const bool is_file_path = path_exists(path) || !path_extension(path).empty();
  const std::string folder = is_file_path ? path_dirname(path) : path;
  std::error_code ec;
  fs::create_directories(fs_path(folder), ec);
  if (ec) {
    utils.fail("utils.ensure_dir() OSError '" + path + "' : " + OsError(ec, folder).what());
    return false;
  }
  return is_directory(folder);
}

void open_dir(std::string_view p_path, std::string_view p_file) {
  const std::string file = py_strip(p_file);
  const std::string joined = path_join(full_path(p_path), file);
  if (!path_exists(joined)) {
    utils.fail("Path doesn't exist: " + joined);
    return;
  }
  try {
    // A stand-in for the file explorer is given the folder, as on desktops other than
    // Windows', which cannot select a file.
    const std::string opener = opener_override();
    const bool stand_in = !opener.empty();
#ifdef _WIN32
    if (!stand_in) {
      start_command_line(file.empty() ? "explorer \"" + joined + "\""
                                      : "explorer /select,\"" + joined + "\"");
      return;
    }
#endif
    start_detached({stand_in ? opener : "xdg-open", file.empty() ? joined : path_dirname(joined)});
  } catch (const OsError& e) {
    utils.fail("Failed to open folder '" + joined + "': " + e.what());
  }
}

void delete_empty_subdirs(std::string_view p_root) {
  const std::string root(p_root);
  if (!is_directory(root) || is_link(root)) return;
  delete_empty_below(root);
}

bool delete_dir(std::string_view p_dir, bool p_verbose) {
  const std::string dir(p_dir);
  if (!path_exists(dir)) {
    if (p_verbose) utils.info("File doesn't exist, can't delete: " + dir);
    return true;
  }
  // A link is never followed: the command interpreter's fallback would empty the folder it
  // leads to.
  if (is_link_path(dir)) {
    utils.fail("Failed to delete directory '" + dir + "': it is a link, not followed");
    return false;
  }
  try {
    remove_tree(dir);
    utils.info("Deleted folder: " + dir);
    return true;
  } catch (const OsError&) {
  }
#ifdef _WIN32
  const auto error = delete_by_command({"cmd", "/c", "rmdir", "/s", "/q", dir}, dir);
#else
  // The trailing separator makes rm refuse anything but a folder, as rmdir does.
  const auto error = delete_by_command({"rm", "-r", "-f", "--", dir + "/"}, dir);
#endif
  if (!error) {
    utils.info("OS deleted folder: " + dir);
    return true;
  }
  utils.fail("Failed to delete directory '" + dir + "': " + *error);
  return false;
}

bool delete_file(std::string_view p_file, bool p_verbose) {
  const std::string file(p_file);
  if (!path_exists(file)) {
    if (p_verbose) utils.info("File doesn't exist, can't delete: " + file);
    return true;
  }
  try {
    remove_file_entry(file);
    utils.info("Deleted file: " + file);
    return true;
  } catch (const OsError&) {
  }
#ifdef _WIN32
  const auto error = delete_by_command({"cmd", "/c", "del", "/f", "/q", file}, file);
#else
  const auto error = delete_by_command({"rm", "-f", "--", file}, file);
#endif
  if (!error) {
    utils.info("OS deleted file: " + file);
    return true;
  }
  utils.fail("Failed to delete file '" + file + "': " + *error);
  return false;
}

void copy_file(std::string_view p_src, std::string_view p_dst, bool p_force) {
  const std::string src = full_path(p_src);
  const std::string dst = full_path(p_dst);
  if (path_exists(dst) && !p_force) {
    utils.info("Copy skipped. Destination path '" + dst + "' exists and overwrite is disabled.");
    return;
  }
  try {
    ensure_dir(dst);
    copy_with_metadata(src, dst);
    utils.info("Copied file: " + src + " to " + dst);
    return;
  } catch (const std::exception&) {
  }
#ifdef _WIN32
  const auto error = run_fallback({"cmd", "/c", "copy", "/y", src, dst});
#else
  const auto error = run_fallback({"cp", "-p", "-f", "--", src, dst});
#endif
  if (!error) {
    utils.info("Copied file: " + src + " to " + dst);
    return;
  }
  utils.fail("Failed to copy file '" + src + "' to '" + dst + "': " + *error);
}

int save_reporting(const std::string& p_abs, const SaveWords& p_words,
                   const std::function<void()>& p_write) {
  try {
    p_write();
    utils.info(std::string(p_words.saved) + p_abs);
    return 0;
  } catch (const OsError& e) {
    utils.fail(std::string(p_words.io_error) + p_abs, e.what());
  } catch (const std::exception& e) {
    utils.fail(std::string(p_words.error) + p_abs, e.what());
  }
  return 1;
}

int txt_save(std::string_view p_path, std::string_view p_data) {
  ensure_dir(p_path);
  const std::string abs = full_path(p_path);
  return save_reporting(abs, {"TXT file saved: ", "TXT save IOError: ", "TXT save error: "}, [&] {
    if (const auto bad = utf8_error(p_data)) throw DataError(*bad);
    write_file_replacing(p_path, to_platform_newlines(p_data));
  });
}

std::optional<std::string> txt_load(std::string_view p_path, std::string* p_problem) {
  const std::string abs = full_path(p_path);
  if (!path_exists(p_path)) {
    utils.info("TXT file not found: " + abs);
    return std::string();
  }
  try {
    std::string raw = read_file(p_path);
    if (const auto bad = utf8_fault(raw)) {
      // Editors save in the system's code page unless told otherwise.
      if (p_problem) {
        const auto line = 1 + std::count(raw.begin(), raw.begin() + bad->position, '\n');
        *p_problem = path_basename(abs) + " is not UTF-8 text (line " + std::to_string(line) +
                     "): save it as UTF-8 and try again.";
      }
      throw DataError(bad->message);
    }
    utils.info("TXT file loaded: " + abs);
    return to_universal_newlines(std::move(raw));
  } catch (const std::bad_alloc&) {
    throw;  // not a fault of the file: the workflow reports it as such
  } catch (const OsError& e) {
    utils.fail("TXT load IOError " + abs, e.what());
  } catch (const std::exception& e) {
    utils.fail("TXT load error " + abs, e.what());
  }
  return std::nullopt;
}

int csv_save(std::string_view p_path, const CsvTable& p_csv) {
  ensure_dir(p_path);
  const std::string abs = full_path(p_path);
  return save_reporting(abs, {"CSV file saved: ", "CSV save IOError ", "CSV save error "}, [&] {
    const std::string text = csv_format(p_csv);
    if (const auto bad = utf8_error(text)) throw DataError(*bad);
    write_file_replacing(p_path, text);
  });
}

std::optional<CsvTable> csv_load(std::string_view p_path) {
  std::string problem;
  return csv_load(p_path, problem);
}

namespace {

// What `p_parse` makes of the file's text and separator, after the checks and log lines of
// csv_load; nothing when the file is missing or after an error.
template <class Parse>
auto load_csv_with(std::string_view p_path, std::string& p_problem, const Parse& p_parse)
    -> std::optional<decltype(p_parse(std::declval<std::string&>(), ','))> {
  const std::string abs = full_path(p_path);
  if (!path_exists(p_path)) {
    utils.info("CSV file not found: " + abs);
    return std::nullopt;
  }
  try {
    std::string raw = read_file(p_path);
    utils.info("CSV file loaded: " + abs);
    const char sep = csv_separator(raw);
    if (const auto bad = utf8_fault(raw)) {
      // Spreadsheets save in the system's code page unless told otherwise.
      p_problem = path_basename(abs) + " is not UTF-8 text (row " +
                  std::to_string(csv_row_at(raw, bad->position, sep)) +
                  "): save it as CSV UTF-8 and try again.";
      throw DataError(bad->message);
    }
    return p_parse(raw, sep);
  } catch (const std::bad_alloc&) {
    throw;  // not a fault of the file: the workflow reports it as such
  } catch (const OsError& e) {
    utils.fail("CSV load IOError " + abs, e.what());
  } catch (const std::exception& e) {
    utils.fail("CSV load error " + abs, e.what());
  }
  return std::nullopt;
}

}  // namespace

std::optional<CsvTable> csv_load(std::string_view p_path, std::string& p_problem) {
  return load_csv_with(p_path, p_problem,
                       [](const std::string& raw, char sep) { return csv_parse(raw, sep); });
}

std::optional<CsvText> csv_load_text(std::string_view p_path, std::string& p_problem) {
  return load_csv_with(p_path, p_problem, [](std::string& raw, char sep) {
    // Parsed once here, holding one row at a time, so that a fault of the file is reported
    // as csv_load reports it, before a reader has seen any row.
    const std::size_t rows = csv_each_row(raw, sep, [](CsvRow&) {});
    return CsvText{std::move(raw), sep, rows};
  });
}

}  // namespace verbix
