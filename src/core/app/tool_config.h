// The window's settings between runs: the option lists of its combo boxes and the nine-key
// configuration map of "tool.cfg", with the merge of a stored map into the defaults and the
// corrections applied at start-up.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "app/update_options.h"
#include "data/value.h"

namespace verbix {

inline constexpr std::array<std::string_view, 2> OPT_FORMAT = {"TXT", "CSV"};
inline constexpr std::array<std::string_view, 2> OPT_IMAGES = {"NONE", "PNG"};

// The configuration map, its keys in file order, with their defaults.
struct ToolConfig {
  std::string create_format{OPT_FORMAT[0]};
  std::string create_images{OPT_IMAGES[0]};
  std::string update_target;
  std::string update_format{OPT_FORMAT[0]};
  std::string update_images{OPT_CHANGE[0]};
  bool update_backup = true;
  std::string build_target;
  std::string build_output;
  std::string language_file;
};

// The defaults with a stored map merged in: each default key the map holds takes the stored
// value, turned into the key's kind (its text form for text keys, its truth value for
// `update_backup`). Other stored keys, and a stored value that is not a map, are ignored.
ToolConfig config_merge(const Value& p_stored);

// The start-up corrections: formats and image options upper-cased and, when not one of
// their list, reset ("TXT"; "PNG" for the Create tab's images); paths that no longer name an
// existing file (or folder, for the build output) cleared.
void config_correct(ToolConfig& p_cfg);

// The configuration as the map stored in "tool.cfg".
Value config_map(const ToolConfig& p_cfg);

}  // namespace verbix
