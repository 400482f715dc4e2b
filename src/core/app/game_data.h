// The game's language data as the window and the command line take it at start-up: a
// container file holding a record whose sections can be listed, and the section keys that
// the TXT reader must then know.
#pragma once

#include <optional>
#include <string>

#include "data/value.h"

namespace verbix {

// The record of the container file, or nothing when it cannot be used. The reason is
// logged ("Unable to locate data file: " + path, "Data format invalid for file: " + path,
// or the loader's own error line) and, for the first two, also put into `p_reason`.
std::optional<Value> load_game_data(const std::string& p_path, std::string* p_reason = nullptr);

// Appends the record's section keys to SECTIONS, in the record's order.
void learn_sections(const Value& p_game);

}  // namespace verbix
