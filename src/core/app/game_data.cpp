#include "app/game_data.h"

#include "data/container.h"
#include "data/language_data.h"
#include "utils/log_service.h"
#include "utils/paths.h"
#include "utils/reporting.h"

namespace verbix {

std::optional<Value> load_game_data(const std::string& p_path, std::string* p_reason) {
  auto refuse = [&](const std::string& reason) -> std::optional<Value> {
    info(reason);
    if (p_reason) *p_reason = reason;
    return std::nullopt;
  };
  if (!path_exists(p_path)) return refuse("Unable to locate data file: " + p_path);
  // A pipe, a device or a folder is not read: a pipe without a writer would wait for ever.
  if (!is_regular_file(p_path)) return refuse("Not a regular file, not read: " + p_path);
  std::optional<Value> loaded = dat_load(p_path);
  if (!loaded || loaded->is_none() || (loaded->is_map() && loaded->as_map().empty()))
    return std::nullopt;  // the loader has logged why
  // The validity test looks at the key set only; the sections must be a map to be listed.
  const Value* sections = loaded->find("sections");
  if (!data_is_valid(*loaded) || !sections->is_map())
    return refuse("Data format invalid for file: " + p_path);
  return loaded;
}

void learn_sections(const Value& p_game) {
  for (const auto& [key, entry] : p_game.find("sections")->as_map()) SECTIONS.push_back(key);
}

}  // namespace verbix
