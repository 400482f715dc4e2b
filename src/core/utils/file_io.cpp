#include "utils/file_io.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include "utils/os_error.h"
#include "utils/paths.h"
#include "utils/temp_files.h"
#include "utils/wildcard.h"

namespace verbix {
namespace fs = std::filesystem;
namespace {

std::vector<std::string> list_names(const std::string& dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(fs_path(dir.empty() ? "." : dir), ec), end; !ec && it != end;
       it.increment(ec))
    names.push_back(path_text(it->path().filename()));
  return names;
}

bool has_magic(std::string_view s) { return s.find_first_of("*?[") != std::string_view::npos; }

bool lexists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::exists(fs::symlink_status(fs_path(path), ec));
}

}  // namespace

File open_file(std::string_view path, const char* mode) {
  errno = 0;
#ifdef _WIN32
  std::wstring wmode(mode, mode + std::char_traits<char>::length(mode));
  std::FILE* f = _wfopen(fs_path(path).c_str(), wmode.c_str());
#else
  std::FILE* f = std::fopen(std::string(path).c_str(), mode);
#endif
  if (!f) throw OsError::from_errno(errno ? errno : EIO, std::string(path));
  return File(f);
}

bool create_new_file(std::string_view path) {
#ifdef _WIN32
  HANDLE h = CreateFileW(fs_path(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) return CloseHandle(h), true;
  const DWORD code = GetLastError();
  if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS) return false;
  throw OsError(std::error_code(static_cast<int>(code), std::system_category()), std::string(path));
#else
  const int fd = ::open(std::string(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd >= 0) return ::close(fd), true;
  if (errno == EEXIST) return false;
  throw OsError::from_errno(errno, std::string(path));
#endif
}

std::string read_file(std::string_view path) {
  File f = open_file(path, "rb");
  std::string data;
  // One read into a buffer of the file's size; the loop covers files that grow or report
  // no size (pipes, special files).
  std::error_code ec;
  const auto size = std::filesystem::file_size(fs_path(path), ec);
  if (!ec && size < (std::uintmax_t{1} << 40)) data.resize(static_cast<size_t>(size) + 1);
  size_t have = 0;
  while (true) {
    if (have == data.size()) data.resize(std::max<size_t>(data.size() * 2, 1 << 16));
    const size_t got = std::fread(data.data() + have, 1, data.size() - have, f.get());
    have += got;
    if (got == 0) break;
  }
  data.resize(have);
  if (std::ferror(f.get())) throw OsError::from_errno(errno ? errno : EIO, std::string(path));
  return data;
}

void write_file(std::string_view path, std::string_view data, bool append) {
  File f = open_file(path, append ? "ab" : "wb");
  errno = 0;
  if (std::fwrite(data.data(), 1, data.size(), f.get()) != data.size() || std::fflush(f.get()) != 0)
    throw OsError::from_errno(errno ? errno : EIO, std::string(path));
  std::FILE* raw = f.release();
  if (std::fclose(raw) != 0) throw OsError::from_errno(errno ? errno : EIO, std::string(path));
}

ReplacingFile::ReplacingFile(std::string_view path) : path_(path) {
  temp_ = temp_name_for(path_);
  try {
    file_ = open_file(temp_, "wb").release();
  } catch (const OsError& e) {
    throw OsError(e.code(), path_);
  }
}

ReplacingFile::~ReplacingFile() {
  if (!file_) return;
  std::fclose(static_cast<std::FILE*>(file_));
  std::error_code ignored;
  std::filesystem::remove(fs_path(temp_), ignored);
}

void ReplacingFile::write(std::string_view bytes) {
  errno = 0;
  if (std::fwrite(bytes.data(), 1, bytes.size(), static_cast<std::FILE*>(file_)) != bytes.size())
    throw OsError::from_errno(errno ? errno : EIO, path_);
}

void ReplacingFile::commit() {
  std::FILE* f = static_cast<std::FILE*>(file_);
  errno = 0;
  const bool flushed = std::fflush(f) == 0;
  const int flush_errno = errno;
  file_ = nullptr;
  const bool closed = std::fclose(f) == 0;
  std::error_code ec;
  if (!flushed || !closed)
    ec = std::error_code(flushed ? (errno ? errno : EIO) : (flush_errno ? flush_errno : EIO),
                         std::generic_category());
#ifdef _WIN32
  else if (!MoveFileExW(fs_path(temp_).c_str(), fs_path(path_).c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    ec = std::error_code(static_cast<int>(GetLastError()), std::system_category());
#else
  else
    std::filesystem::rename(fs_path(temp_), fs_path(path_), ec);
#endif
  if (ec) {
    std::error_code ignored;
    std::filesystem::remove(fs_path(temp_), ignored);
    throw OsError(ec, path_);
  }
}

void write_file_replacing(std::string_view path, std::string_view data) {
  ReplacingFile file(path);
  file.write(data);
  file.commit();
}

void copy_modification_time(std::string_view src, std::string_view dst) {
#ifdef _WIN32
  // The C library's time setters keep whole seconds only; the file system keeps 100 ns.
  auto open = [](std::string_view path, DWORD access) {
    HANDLE h = CreateFileW(fs_path(path).c_str(), access,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
      throw OsError(std::error_code(static_cast<int>(GetLastError()), std::system_category()),
                    std::string(path));
    return h;
  };
  HANDLE from = open(src, FILE_READ_ATTRIBUTES);
  FILETIME written;
  const BOOL got = GetFileTime(from, nullptr, nullptr, &written);
  CloseHandle(from);
  HANDLE to = open(dst, FILE_WRITE_ATTRIBUTES);
  const BOOL set = got && SetFileTime(to, nullptr, nullptr, &written);
  const DWORD err = GetLastError();
  CloseHandle(to);
  if (!set)
    throw OsError(std::error_code(static_cast<int>(err), std::system_category()), std::string(dst));
#else
  std::error_code ec;
  const auto written = std::filesystem::last_write_time(fs_path(src), ec);
  if (!ec) std::filesystem::last_write_time(fs_path(dst), written, ec);
  if (ec) throw OsError(ec, std::string(dst));
#endif
}

std::string to_platform_newlines(std::string_view text) {
#ifdef _WIN32
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
#else
  return std::string(text);
#endif
}

std::string to_universal_newlines(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string to_universal_newlines(std::string&& text) {
  std::size_t w = text.find('\r');
  if (w == std::string::npos) return std::move(text);
  for (std::size_t r = w; r < text.size(); ++r) {
    if (text[r] != '\r') {
      text[w++] = text[r];
      continue;
    }
    text[w++] = '\n';
    if (r + 1 < text.size() && text[r + 1] == '\n') ++r;
  }
  text.resize(w);
  return std::move(text);
}

bool is_link(std::string_view path) {
  std::error_code ec;
  return fs::is_symlink(fs::symlink_status(fs_path(path), ec));
}

void remove_file_entry(std::string_view path) {
  const std::string file(path);
  if (!is_link(file) && is_directory(file)) throw OsError::from_errno(EISDIR, file);
  std::error_code ec;
  if (!fs::remove(fs_path(file), ec) && !ec)
    ec = std::make_error_code(std::errc::no_such_file_or_directory);
  if (ec) throw OsError(ec, file);
}

std::vector<std::string> glob_paths(std::string_view pattern) {
  const std::string path(pattern);
  const std::string dir = path_dirname(path);
  const std::string base = path_basename(path);
  std::vector<std::string> found;
  if (!has_magic(path)) {
    if (base.empty() ? is_directory(dir) : lexists(path)) found.push_back(path);
    return found;
  }
  std::vector<std::string> dirs;
  if (!dir.empty() && dir != path && has_magic(dir))
    dirs = glob_paths(dir);
  else
    dirs.push_back(dir);
  for (const std::string& d : dirs) {
    if (!has_magic(base)) {
      const std::string candidate = d.empty() ? base : path_join(d, base);
      if (lexists(candidate)) found.push_back(candidate);
      continue;
    }
    for (const std::string& name : list_names(d)) {
      if (name[0] == '.' && base[0] != '.') continue;  // hidden names need an explicit dot
      if (wildcard_match(base, name)) found.push_back(d.empty() ? name : path_join(d, name));
    }
  }
  return found;
}

void file_limit(long long p_num, std::string_view p_dir, std::string_view p_ext) {
  const size_t keep = static_cast<size_t>(std::max(0LL, p_num));
  std::vector<std::string> paths = glob_paths(path_join(p_dir, p_ext));
  std::sort(paths.begin(), paths.end(), std::greater<>());
  while (paths.size() > keep) {
    remove_file_entry(paths.back());
    paths.pop_back();
  }
}

}  // namespace verbix
