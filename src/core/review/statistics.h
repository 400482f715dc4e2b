// How far a translation is: for each table, for the dialogue as a whole and for each
// dialogue section, how many texts there are, how many are translated (not blank and
// different from the game's English), untranslated (blank, or the game's English) and to
// review (listed in review.csv, or English changed since the baseline); and for the images,
// how many the game has, how many the translator changed and how many the project lacks.
// Shown as a short block after Check and Build, and by `verbix-cli stats`:
//   {"tables": {T: C}, "dialogue": C, "sections": {key: C}, "percent": float,
//    "images": {"total": int, "translated": int, "missing": int}}
//   C = {"total": int, "translated": int, "untranslated": int, "review": int}
// text_lut counts once under "tables" and again, by section, under "dialogue" and
// "sections" (item descriptions belong to no section).
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "data/record_merge.h"
#include "data/value.h"
#include "review/baseline.h"
#include "utils/reporting.h"

namespace verbix {

struct TextCounts {
  std::size_t total = 0;
  std::size_t translated = 0;
  std::size_t untranslated = 0;
  std::size_t review = 0;
};

struct Statistics {
  std::array<TextCounts, FIELDS.size()> tables;
  TextCounts dialogue;
  std::vector<std::pair<std::string, TextCounts>> sections;  // in the game's order
  std::size_t images_total = 0;
  std::size_t images_translated = 0;
  std::size_t images_missing = 0;

  // Translated texts of every table over all texts, in percent (100 for no texts), rounded
  // to one decimal.
  double percent() const;
};

// The statistics of the project record `p_project` (a dialogue file read or merged) of the
// project folder `p_project_dir` against the game. `p_baseline` is the project's baseline
// (none: nothing changed since); review.csv of the folder is read when there is one.
Statistics project_statistics(const Value& p_game, const Value& p_project,
                              const std::string& p_project_dir,
                              const std::optional<Baseline>& p_baseline);

// The panel's block: a title line, one line per table, the dialogue, the images and the
// percentage.
std::vector<std::string> statistics_lines(const Statistics& p_stats);

// The JSON document above.
std::string statistics_json(const Statistics& p_stats);

// Logs the block through `p_app`.
void report_statistics(const Statistics& p_stats, Window* p_app);

}  // namespace verbix
