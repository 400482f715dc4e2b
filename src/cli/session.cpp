#include "session.h"

#include <cstdlib>

#include "app/game_data.h"
#include "console_window.h"
#include "data/container.h"
#include "data/language_data.h"
#include "utils/log_service.h"
#include "utils/paths.h"
#include "utils/tool_folder.h"

namespace verbix::cli {
void setup_log(const std::string& p_log_dir) {
  utils.CSH_WAIT = false;
  utils.LOG_UNIQUE = true;  // back-to-back runs get files of their own without waiting
  utils.ERR_WAIT = false;
  utils.log_dir_and_file(
      p_log_dir.empty() ? path_join(tool_folder(), "logs") : full_path(p_log_dir), "log.txt");
  auto plain = utils.console.write;
  utils.console.write = [plain](std::string_view p_text) {
    plain(p_text);
    if (p_text.starts_with("ERROR (")) {
      if (p_text.ends_with('\n')) p_text.remove_suffix(1);
      print_error(p_text);
    }
  };
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
