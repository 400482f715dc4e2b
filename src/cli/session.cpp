#include "session.h"

#include <chrono>
#include <cstdlib>
#include <thread>

#include "app/game_data.h"
#include "console_window.h"
#include "data/container.h"
#include "data/language_data.h"
#include "utils/log_service.h"
#include "utils/paths.h"

namespace verbix::cli {
namespace {

// An environment variable as UTF-8 (on Windows through the wide environment, so that
// non-ASCII user folders arrive whole); empty when unset.
std::string env(const char* p_name) {
#ifdef _WIN32
  const std::wstring wide(p_name, p_name + std::char_traits<char>::length(p_name));
  const wchar_t* value = _wgetenv(wide.c_str());
  return value ? path_text(std::filesystem::path(value)) : std::string();
#else
  const char* value = std::getenv(p_name);
  return value ? std::string(value) : std::string();
#endif
}

std::string settings_base() {
  std::string base = env("APPDATA");
  if (!base.empty()) return base;
  base = env("XDG_CONFIG_HOME");
  if (!base.empty() && fs_path(base).is_absolute()) return base;
  std::string home = env("HOME");
  if (home.empty()) home = env("USERPROFILE");
  return path_join(home, ".config");
}

}  // namespace

std::string tool_dir() {
  return path_join(path_join(path_join(settings_base(), "VosselTarnWimble"), "Tools"),
                   "Translation Tool");
}

void setup_log(const std::string& p_log_dir) {
  utils.CSH_WAIT = false;
  utils.ERR_WAIT = false;
  utils.log_dir_and_file(p_log_dir.empty() ? path_join(tool_dir(), "logs") : full_path(p_log_dir),
                         "log.txt");
  auto plain = utils.console.write;
  utils.console.write = [plain](std::string_view p_text) {
    plain(p_text);
    if (p_text.starts_with("ERROR (")) {
      if (p_text.ends_with('\n')) p_text.remove_suffix(1);
      print_error(p_text);
    }
  };
}

void wait_for_free_log_name() {
  auto name = [] {
    return path_join(utils.LOG_PATH,
                     utils.LOG_NAME + "_" + utils.timestamp() + "." + utils.LOG_EXTN);
  };
  for (int i = 0; i < 40 && path_exists(name()); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

std::optional<Value> load_game(const std::string& p_path, Window& p_app) {
  const std::string path = full_path(p_path);
  auto refuse = [&](const std::string& p_reason) -> std::optional<Value> {
    // The loader's own failures reach standard error through the log's error lines.
    if (!p_reason.empty()) print_error(p_reason);
    return error("Failed to locate a valid language data file.", std::optional<Value>(), &p_app);
  };
  std::string reason;
  std::optional<Value> loaded = load_game_data(path, &reason);
  if (!loaded) return refuse(reason);
  p_app.append_log("Successfully loaded language data.");
  learn_sections(*loaded);
  return loaded;
}

}  // namespace verbix::cli
