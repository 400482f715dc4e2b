#include "utils/links.h"

#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#endif

#include "utils/paths.h"

namespace verbix {

bool is_link_path(std::string_view p_path) {
  std::error_code ec;
  if (std::filesystem::is_symlink(std::filesystem::symlink_status(fs_path(p_path), ec)))
    return true;
#ifdef _WIN32
  // Junctions are reparse points of their own tag; other reparse points (cloud files,
  // deduplicated files) are ordinary files to the user and are not links.
  const std::wstring wide = fs_path(p_path).wstring();
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return false;
  WIN32_FIND_DATAW found;
  HANDLE h = FindFirstFileW(wide.c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return false;
  FindClose(h);
  return (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
         (found.dwReserved0 == IO_REPARSE_TAG_MOUNT_POINT ||
          found.dwReserved0 == IO_REPARSE_TAG_SYMLINK);
#else
  return false;
#endif
}

std::optional<std::string> link_below(std::string_view p_folder, std::string_view p_path) {
  const std::string path(p_path);
  size_t at = p_folder.size();
  while (at < path.size()) {
    const size_t next = path.find(kPathSep, at + 1);
    const std::string part = path.substr(0, next == std::string::npos ? path.size() : next);
    if (part.size() > p_folder.size() && is_link_path(part)) return part;
    if (next == std::string::npos) break;
    at = next;
  }
  return std::nullopt;
}

}  // namespace verbix
