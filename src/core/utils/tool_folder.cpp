#include "utils/tool_folder.h"

#include <cstdlib>
#include <filesystem>

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

#include "utils/paths.h"

namespace verbix {

std::string environment_text(const char* p_name) {
#ifdef _WIN32
  const std::wstring wide(p_name, p_name + std::char_traits<char>::length(p_name));
  const wchar_t* value = _wgetenv(wide.c_str());
  return value ? path_text(std::filesystem::path(value)) : std::string();
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
