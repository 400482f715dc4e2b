#include "utils/tool_folder.h"

#include <cstdlib>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#else
#include <pwd.h>
#include <unistd.h>
#endif

#include "utils/paths.h"

namespace verbix {

// Windows: read from the process's environment, which the host's C runtime keeps current
// (Python's os.environ writes there), not from this module's C runtime's own copy of it.
std::string environment_text(const char* p_name) {
#ifdef _WIN32
  const std::wstring wide(p_name, p_name + std::char_traits<char>::length(p_name));
  std::wstring value(256, L'\0');
  DWORD n = GetEnvironmentVariableW(wide.c_str(), value.data(), static_cast<DWORD>(value.size()));
  if (n >= value.size()) {  // too small: n is the size needed, with the terminator
    value.resize(n);
    n = GetEnvironmentVariableW(wide.c_str(), value.data(), static_cast<DWORD>(value.size()));
  }
  if (n == 0 || n >= value.size()) return std::string();
  value.resize(n);
  return path_text(std::filesystem::path(value));
#else
  const char* value = std::getenv(p_name);
  return value ? std::string(value) : std::string();
#endif
}

namespace {

// The user's home folder, found as os.path.expanduser("~") finds it.
std::string home_folder() {
  std::string home = environment_text("HOME");
#ifdef _WIN32
  if (home.empty()) home = environment_text("USERPROFILE");
#else
  if (home.empty()) {
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) home = entry->pw_dir;
  }
#endif
  return home;
}

}  // namespace

std::string settings_base() {
  std::string base = environment_text("APPDATA");
  if (!base.empty()) return base;
  base = environment_text("XDG_CONFIG_HOME");
  if (!base.empty() && fs_path(base).is_absolute()) return base;
  return path_join(home_folder(), ".config");
}

std::string tool_folder() {
  return path_join(path_join(path_join(settings_base(), "VosselTarnWimble"), "Tools"),
                   "Translation Tool");
}

}  // namespace verbix
