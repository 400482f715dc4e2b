#include "utils/file_io.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>

#ifdef _WIN32
#include <windows.h>
#endif

#include "utils/os_error.h"
#include "utils/paths.h"

namespace verbix {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

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

}  // namespace

std::string read_file(std::string_view path) {
  File f = open_file(path, "rb");
  std::string data;
  char buf[1 << 16];
  while (true) {
    const size_t got = std::fread(buf, 1, sizeof buf, f.get());
    data.append(buf, got);
    if (got < sizeof buf) break;
  }
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

void write_file_replacing(std::string_view path, std::string_view data) {
  static std::mt19937_64 rng{std::random_device{}()};
  const std::string temp = std::string(path) + ".tmp" + std::to_string(rng() % 1000000);
  try {
    write_file(temp, data);
  } catch (const OsError& e) {
    std::error_code ignored;
    std::filesystem::remove(fs_path(temp), ignored);
    throw OsError(e.code(), std::string(path));
  }
  std::error_code ec;
#ifdef _WIN32
  if (!MoveFileExW(fs_path(temp).c_str(), fs_path(path).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    ec = std::error_code(static_cast<int>(GetLastError()), std::system_category());
#else
  std::filesystem::rename(fs_path(temp), fs_path(path), ec);
#endif
  if (ec) {
    std::error_code ignored;
    std::filesystem::remove(fs_path(temp), ignored);
    throw OsError(ec, std::string(path));
  }
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

}  // namespace verbix
