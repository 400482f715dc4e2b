#include "utils/log_service.h"

#include <sys/stat.h>

#include <cstdio>
#include <ctime>
#include <exception>
#include <iostream>

#include "utils/file_io.h"
#include "utils/os_error.h"
#include "utils/paths.h"

#ifdef _WIN32
#include <windows.h>
#elif defined(__linux__)
#include <fcntl.h>
#endif

namespace verbix {

import_utils utils;

namespace {

void stdio_write(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

void stdio_wait_for_enter() {
  int c;
  while ((c = std::fgetc(stdin)) != EOF && c != '\n') {
  }
}

void stdio_flush() {
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
}

std::string joined_lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line;
    text += '\n';
  }
  return text;
}

// The creation time of the file, as seconds since the epoch; nothing when it is unknown.
std::optional<std::time_t> creation_time(std::string_view path) {
#ifdef _WIN32
  struct _stat64 st;
  if (_wstat64(fs_path(path).c_str(), &st) == 0) return static_cast<std::time_t>(st.st_ctime);
#elif defined(__linux__) && defined(STATX_BTIME)
  struct statx stx;
  if (statx(AT_FDCWD, std::string(path).c_str(), 0, STATX_BTIME | STATX_CTIME, &stx) == 0)
    return static_cast<std::time_t>((stx.stx_mask & STATX_BTIME) ? stx.stx_btime.tv_sec
                                                                 : stx.stx_ctime.tv_sec);
#else
  struct stat st;
  if (stat(std::string(path).c_str(), &st) == 0) return st.st_ctime;
#endif
  return std::nullopt;
}

std::string format_local(std::time_t t) {
  std::tm tm{};
#ifdef _WIN32
  localtime_s(&tm, &t);
#else
  localtime_r(&t, &tm);
#endif
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y%m%d%H%M%S", &tm);
  return buf;
}

}  // namespace

import_utils::import_utils() : console{stdio_write, stdio_wait_for_enter, stdio_flush} {}

void import_utils::write_line(std::string_view text) {
  std::string line(text);
  line += '\n';
  console.write(line);
}

void import_utils::info(std::string_view p_msg) {
  write_line(p_msg);
  _output.emplace_back(p_msg);
  if (!LOG_WAIT) log_flush();
}

void import_utils::fail(std::string_view p_msg, std::string_view code) {
  std::string line = "ERROR (" + std::string(code) + "): " + std::string(p_msg);
  write_line(line);
  _errors.push_back(std::move(line));
  if (ERR_WAIT) {
    console.write("Press ENTER to continue.");
    console.wait_for_enter();
  }
}

void import_utils::crash(std::string_view p_msg, int p_code) {
  fail(p_msg, std::to_string(p_code));
  info("Crashing...");
  if (!log_thread_halt) {
    log_thread_stop();
  } else {
    log_flush();
    log_prepend_errors();
  }
  if (CSH_WAIT) {
    console.write("Press ENTER to exit.");
    console.wait_for_enter();
  }
  console.flush();
  stdio_flush();
  std::_Exit(p_code);
}

void import_utils::log_thread_stop() {
  log_thread_halt = true;
  info("Thread logging stopped...");
  log_flush();
  log_prepend_errors();
}

void import_utils::prune_log_folder() { file_limit(LOG_FMAX, LOG_PATH, "*." + LOG_EXTN); }

void import_utils::log_flush() {
  std::lock_guard lock(log_thread_lock);
  if (_output.empty() && _errors.empty()) return;
  try {
    if (current_log.empty() || !is_regular_file(current_log)) {
      _log_write();
      return;
    }
    write_file(current_log, to_platform_newlines(joined_lines(_output)), /*append=*/true);
    _output.clear();
    prune_log_folder();
  } catch (const std::exception& e) {
    fail(std::string("Exception in log_flush: ") + e.what());
  }
}

namespace {

// The first free name of "<base>.<ext>", "<base>_2.<ext>", ..., created empty on the spot so
// that a process starting at the same moment takes the next one.
std::string claim_log_name(const std::string& p_dir, const std::string& p_base,
                           const std::string& p_ext) {
  for (int n = 1;; ++n) {
    const std::string name = n == 1 ? p_base : p_base + "_" + std::to_string(n);
    const std::string path = path_join(p_dir, name + "." + p_ext);
    if (create_new_file(path) || n == 10000) return path;
  }
}

}  // namespace

void import_utils::log_write(std::string_view p_name) {
  std::lock_guard lock(log_thread_lock);
  _log_write(p_name);
}

void import_utils::_log_write(std::string_view p_name) {
  if (_output.empty() && _errors.empty()) return;
  const std::string stem(p_name.empty() ? std::string_view(LOG_NAME) : p_name);
  std::error_code ec;
  std::filesystem::create_directories(fs_path(LOG_PATH), ec);
  if (ec) throw OsError(ec, LOG_PATH);
  current_log = LOG_UNIQUE ? claim_log_name(LOG_PATH, stem + "_" + timestamp(), LOG_EXTN)
                           : path_join(LOG_PATH, stem + "_" + timestamp() + "." + LOG_EXTN);
  write_file(current_log, to_platform_newlines(joined_lines(_output)));
  _output.clear();
  prune_log_folder();
}

void import_utils::log_prepend_errors() {
  if (_errors.empty()) return;
  try {
    if (current_log.empty() || !is_regular_file(current_log)) log_write();
    std::string block = "ERRORS (" + std::to_string(_errors.size()) + "):\n";
    for (size_t i = 0; i < _errors.size(); ++i) {
      if (i) block += '\n';
      block += _errors[i];
    }
    block += "\n----------------------------------\n";
    const std::string former = to_universal_newlines(read_file(current_log));
    write_file(current_log, to_platform_newlines(block + former));
    prune_log_folder();
  } catch (const std::exception& e) {
    fail(std::string("Exception in log_prepend_errors: ") + e.what());
  }
}

void import_utils::log_dir_and_file(std::string_view p_path,
                                    std::optional<std::string_view> p_file) {
  std::string file = p_file && !p_file->empty() ? std::string(*p_file) : LOG_NAME + "." + LOG_EXTN;
  LOG_PATH = std::string(p_path);
  const size_t dot = file.rfind('.');
  LOG_NAME = dot == std::string::npos ? file : file.substr(0, dot);
  LOG_EXTN = dot == std::string::npos ? "" : file.substr(dot);
}

std::string import_utils::timestamp(std::string_view p_file) const {
  std::time_t t = std::time(nullptr);
  if (!p_file.empty() && path_exists(p_file)) {
    if (const auto created = creation_time(p_file)) t = *created;
  }
  return format_local(t);
}

}  // namespace verbix
