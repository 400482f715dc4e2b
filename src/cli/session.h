// What every command of the command line does before its workflow, as the window does at
// start-up: the log pointed at the tool folder's "logs" folder (or the folder asked for),
// and the game's language data loaded, validated and its section keys added to SECTIONS.
#pragma once

#include <optional>
#include <string>

#include "data/value.h"
#include "utils/reporting.h"

namespace verbix::cli {

// Points the log service at `p_log_dir` (the tool folder's "logs" when empty) with the
// window's file name "log.txt"; the folder is made on the first flush. Console-friendly
// log settings: a crash does not wait for Enter, and every error line ("ERROR (") is also
// written to standard error.
void setup_log(const std::string& p_log_dir);

// The game's record from the language data file at `p_path`, after "Successfully loaded
// language data." through `p_app`, with its section keys appended to SECTIONS. Nothing when
// the file is missing, does not load or is not language data: the reason is logged, and it
// and "Failed to locate a valid language data file." are reported through `p_app`.
std::optional<Value> load_game(const std::string& p_path, Window& p_app);

}  // namespace verbix::cli
