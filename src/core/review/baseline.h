// The English baseline of a project: the game's texts the project was made or last updated
// from (every compared table's English, a SHA-256 per image, the version stamp), kept as
// english.dat (the container format of lang.dat) in the project folder. Neither the project
// reader nor the game reads it; Check compares it with the game to find the texts whose
// English changed while their translation was kept.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "data/container.h"
#include "data/value.h"

namespace verbix {

inline constexpr std::string_view kBaselineFile = "english.dat";

// The baseline record of the game's record: {"ver_hash": stamp, "tables": {table key: the
// game's table} for each compared table, "images": {image key: SHA-256 hex of its bytes}}.
Value make_baseline(const Value& p_game);

// Writes the baseline of `p_game` into the project folder (replacing the file whole).
// 0 on success; 1 when it could not be written (logged by the container writer).
int save_baseline(const std::string& p_project_dir, const Value& p_game);

// The baseline a check of the translation file `p_target` (read in form `p_form`, "TXT" or
// "CSV") compares with: the project's english.dat when it holds a baseline; for a CSV file
// without one, its English column (no menus, which have no English column). Nothing when
// there is none (or english.dat cannot be read: that is logged).
struct Baseline {
  Value tables = Value::map();  // table key -> {key: English}
  Value images = Value::map();  // image key -> SHA-256 hex; empty from a CSV English column
  bool from_file = false;       // read from english.dat
};
std::optional<Baseline> load_baseline(const std::string& p_target, std::string_view p_form);

// load_baseline in two halves, so that english.dat can be read beside the dialogue file:
// `read_baseline_file` reads it and logs nothing (any thread; nothing when there is no such
// file), `finish_baseline` logs the outcome and gives load_baseline's result.
std::optional<DatRead> read_baseline_file(const std::string& p_target);
std::optional<Baseline> finish_baseline(const std::string& p_target, std::string_view p_form,
                                        std::optional<DatRead> p_read);

}  // namespace verbix
