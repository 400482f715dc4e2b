#include "utils/paths.h"

#include <algorithm>
#include <system_error>
#include <vector>

namespace verbix {
namespace {

bool is_sep(char c) {
#ifdef _WIN32
  return c == '/' || c == '\\';
#else
  return c == '/';
#endif
}

std::vector<std::string_view> split(std::string_view path, char sep) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (true) {
    const size_t end = path.find(sep, start);
    parts.push_back(path.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

std::string join(const std::vector<std::string_view>& parts, char sep) {
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) out += sep;
    out += parts[i];
  }
  return out;
}

bool is_windows_sep(char c) { return c == '\\' || c == '/'; }

// Drive ("C:") or UNC share ("\\server\share") at the start of a Windows path.
size_t windows_drive_length(std::string_view p) {
  if (p.size() >= 2 && p[1] == ':') return 2;
  if (p.size() >= 2 && is_windows_sep(p[0]) && is_windows_sep(p[1]) &&
      (p.size() == 2 || !is_windows_sep(p[2]))) {
    const size_t server_end = p.find_first_of("\\/", 2);
    if (server_end == std::string_view::npos) return p.size();
    const size_t share_end = p.find_first_of("\\/", server_end + 1);
    return share_end == std::string_view::npos ? p.size() : share_end;
  }
  return 0;
}

size_t last_sep(std::string_view path) {
  for (size_t i = path.size(); i-- > 0;)
    if (is_sep(path[i])) return i;
  return std::string_view::npos;
}

}  // namespace

std::filesystem::path fs_path(std::string_view utf8) {
  return std::filesystem::path(
      std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

std::string path_text(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

std::string normpath_posix(std::string_view path) {
  if (path.empty()) return ".";
  size_t initial = path[0] == '/' ? 1 : 0;
  if (initial && path.size() > 1 && path[1] == '/' && (path.size() == 2 || path[2] != '/'))
    initial = 2;
  std::vector<std::string_view> comps;
  for (std::string_view comp : split(path, '/')) {
    if (comp.empty() || comp == ".") continue;
    if (comp != ".." || (!initial && comps.empty()) || (!comps.empty() && comps.back() == ".."))
      comps.push_back(comp);
    else if (!comps.empty())
      comps.pop_back();
  }
  std::string out = std::string(initial, '/') + join(comps, '/');
  return out.empty() ? "." : out;
}

std::string normpath_windows(std::string_view raw) {
  std::string path(raw);
  for (char& c : path)
    if (c == '/') c = '\\';
  const size_t drive = windows_drive_length(path);
  std::string prefix = path.substr(0, drive);
  std::string_view rest = std::string_view(path).substr(drive);
  if (!rest.empty() && rest[0] == '\\') {
    prefix += '\\';
    rest.remove_prefix(rest.find_first_not_of('\\') == std::string_view::npos
                           ? rest.size()
                           : rest.find_first_not_of('\\'));
  }
  std::vector<std::string_view> comps;
  for (std::string_view comp : split(rest, '\\')) {
    if (comp.empty() || comp == ".") continue;
    if (comp == "..") {
      if (!comps.empty() && comps.back() != "..")
        comps.pop_back();
      else if (comps.empty() && !prefix.empty() && prefix.back() == '\\')
        continue;
      else
        comps.push_back(comp);
    } else {
      comps.push_back(comp);
    }
  }
  if (prefix.empty() && comps.empty()) return ".";
  return prefix + join(comps, '\\');
}

std::string normpath(std::string_view path) {
#ifdef _WIN32
  return normpath_windows(path);
#else
  return normpath_posix(path);
#endif
}

std::string full_path(std::string_view path) {
  std::error_code ec;
#ifdef _WIN32
  // The C++ library takes "\\server\share" for a rooted path on the working drive; a UNC
  // path is absolute as it stands.
  if (path.size() >= 2 && is_sep(path[0]) && is_sep(path[1])) return normpath_windows(path);
  const std::filesystem::path abs = path.empty() ? std::filesystem::current_path(ec)
                                                 : std::filesystem::absolute(fs_path(path), ec);
  return normpath_windows(ec ? std::string(path) : path_text(abs));
#else
  if (!path.empty() && path[0] == '/') return normpath_posix(path);
  const std::filesystem::path cwd = std::filesystem::current_path(ec);
  return normpath_posix(path_text(cwd) + "/" + std::string(path));
#endif
}

#ifdef _WIN32
namespace {

// Drive, root separator and the rest of a Windows path.
struct WindowsParts {
  std::string drive, root, rest;
};

WindowsParts windows_parts(std::string_view p) {
  const size_t drive = windows_drive_length(p);
  const size_t root = drive < p.size() && is_sep(p[drive]) ? 1 : 0;
  return {std::string(p.substr(0, drive)), std::string(p.substr(drive, root)),
          std::string(p.substr(drive + root))};
}

bool same_drive(std::string_view a, std::string_view b) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [&](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace
#endif

std::string path_join(std::string_view a, std::string_view b) {
#ifdef _WIN32
  // A rooted `b` keeps `a`'s drive unless it names its own; `b` on another drive replaces
  // `a`; a drive-relative `b` on `a`'s drive continues `a`.
  WindowsParts out = windows_parts(a);
  WindowsParts add = windows_parts(b);
  if (!add.root.empty()) {
    if (!add.drive.empty() || out.drive.empty()) out.drive = add.drive;
    out.root = add.root;
    out.rest = add.rest;
  } else if (!add.drive.empty() && !same_drive(add.drive, out.drive)) {
    out = add;
  } else {
    if (!add.drive.empty()) out.drive = add.drive;
    if (!out.rest.empty() && !is_sep(out.rest.back())) out.rest += kPathSep;
    out.rest += add.rest;
  }
  // A share needs a separator before a relative rest; a bare drive ("C:x") does not.
  if (!out.rest.empty() && out.root.empty() && !out.drive.empty() && out.drive.back() != ':' &&
      !is_sep(out.drive.back()))
    return out.drive + kPathSep + out.rest;
  return out.drive + out.root + out.rest;
#else
  if (!b.empty() && b[0] == '/') return std::string(b);
  std::string out(a);
  if (!out.empty() && !is_sep(out.back())) out += kPathSep;
  out += b;
  return out;
#endif
}

std::string path_extension(std::string_view path) {
  const size_t sep = last_sep(path);
  const size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || (sep != std::string_view::npos && dot < sep)) return "";
  for (size_t i = sep == std::string_view::npos ? 0 : sep + 1; i < dot; ++i)
    if (path[i] != '.') return std::string(path.substr(dot));
  return "";
}

std::string path_basename(std::string_view path) {
  const size_t sep = last_sep(path);
  return std::string(sep == std::string_view::npos ? path : path.substr(sep + 1));
}

std::string path_dirname(std::string_view path) {
  const size_t sep = last_sep(path);
  if (sep == std::string_view::npos) return "";
  std::string_view head = path.substr(0, sep + 1);
  // Strip trailing separators unless the head is all separators (the root).
  size_t end = head.size();
  while (end > 0 && is_sep(head[end - 1])) --end;
  return std::string(end == 0 ? head : head.substr(0, end));
}

bool path_exists(std::string_view path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::exists(fs_path(path), ec);
}

bool is_directory(std::string_view path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_directory(fs_path(path), ec);
}

bool is_regular_file(std::string_view path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_regular_file(fs_path(path), ec);
}

}  // namespace verbix
