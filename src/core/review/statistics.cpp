#include "review/statistics.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <unordered_set>

#include "app/project_images.h"
#include "data/pointer_map.h"
#include "project/json_text.h"
#include "review/english_changes.h"
#include "review/review_list.h"
#include "text/py_text.h"
#include "utils/file_helpers.h"
#include "utils/file_io.h"
#include "utils/os_error.h"
#include "utils/paths.h"

namespace verbix {
namespace {

// The ids of review.csv, as "<table label>\n<id>".
std::unordered_set<std::string> listed_for_review(const std::string& p_project_dir) {
  std::unordered_set<std::string> out;
  const std::string path = path_join(p_project_dir, std::string(kReviewFile));
  if (!is_regular_file(path)) return out;
  if (const std::optional<CsvTable> rows = csv_load(path))
    for (const ReviewRow& row : review_rows(*rows)) out.insert(row.table + "\n" + row.id);
  return out;
}

// Whether english_text(p_value) is blank, without building it: a list's lines are joined by
// line feeds, and the text form of anything but a text is never blank.
bool is_blank_text(const Value& p_value) {
  if (p_value.is_text()) return py_is_blank(p_value.as_text());
  if (!p_value.is_list()) return false;
  for (const Value& line : p_value.as_list())
    if (!line.is_text() || !py_is_blank(line.as_text())) return false;
  return true;
}

// Whether a translation of `p_english` counts as translated.
bool is_translated(const Value* p_translation, const Value& p_english) {
  return p_translation && !is_blank_text(*p_translation) && !(*p_translation == p_english);
}

// What the dialogue counts need of each text of the game's text_lut, worked out once in the
// tables' pass: whether it is translated and to review, and in which sections it was counted.
struct LineState {
  bool translated = false;
  bool review = false;
  bool in_dialogue = false;
  std::uint32_t section = 0;  // the last section (counted from 1) that counted it
};

// Counts one text into `p_counts`.
void count(TextCounts& p_counts, bool p_translated, bool p_review) {
  ++p_counts.total;
  ++(p_translated ? p_counts.translated : p_counts.untranslated);
  if (p_review) ++p_counts.review;
}

// Whether the project's image file of `p_key` holds other bytes than the game's.
bool image_differs(const std::string& p_path, const Value& p_bytes) {
  const std::string_view game = p_bytes.is_bytes() ? p_bytes.as_bytes() : std::string_view();
  std::error_code ec;
  const auto size = std::filesystem::file_size(fs_path(p_path), ec);
  if (ec || size != game.size()) return true;
  try {
    return read_file(p_path) != game;
  } catch (const OsError&) {
    return true;
  }
}

void count_images(Statistics& p_stats, const Value& p_game, const std::string& p_project_dir) {
  for (const auto& [key, bytes] : record_table(p_game, "img_data")) {
    ++p_stats.images_total;
    const std::optional<std::string> path = image_path_in(p_project_dir, key);
    if (!path || !is_regular_file(*path))
      ++p_stats.images_missing;
    else if (image_differs(*path, bytes))
      ++p_stats.images_translated;
  }
}

Value counts_value(const TextCounts& p_counts) {
  Map m;
  m.set("total", Value(p_counts.total));
  m.set("translated", Value(p_counts.translated));
  m.set("untranslated", Value(p_counts.untranslated));
  m.set("review", Value(p_counts.review));
  return Value(std::move(m));
}

std::string counts_line(std::string_view p_name, const TextCounts& p_counts) {
  return "  " + std::string(p_name) + ": " + std::to_string(p_counts.translated) + " of " +
         std::to_string(p_counts.total) + " translated, " + std::to_string(p_counts.untranslated) +
         " untranslated, " + std::to_string(p_counts.review) + " to review";
}

}  // namespace

double Statistics::percent() const {
  std::size_t total = 0, translated = 0;
  for (const TextCounts& t : tables) {
    total += t.total;
    translated += t.translated;
  }
  if (total == 0) return 100.0;
  return std::round(1000.0 * static_cast<double>(translated) / static_cast<double>(total)) / 10.0;
}

Statistics project_statistics(const Value& p_game, const Value& p_project,
                              const std::string& p_project_dir,
                              const std::optional<Baseline>& p_baseline) {
  Statistics stats;
  const std::unordered_set<std::string> listed = listed_for_review(p_project_dir);
  // Each table's English in the baseline, when it has one.
  std::array<const Map*, FIELDS.size()> was_tables{};
  for (std::size_t t = 0; p_baseline && t < FIELDS.size(); ++t) {
    const Value* table = p_baseline->tables.find(FIELDS[t].key);
    if (table && table->is_map()) was_tables[t] = &table->as_map();
  }
  // Whether a text of table `t` is to review: listed, or its English changed since the
  // baseline while the project kept a translation.
  const auto to_review = [&](std::size_t t, std::string_view key, const Value& english,
                             const Value* translation) {
    if (!listed.empty() && listed.contains(std::string(FIELDS[t].label) + "\n" + std::string(key)))
      return true;
    if (!was_tables[t] || !translation) return false;
    const Value* before = was_tables[t]->find(key);
    return before && !(*before == english);
  };
  const Map& game_lines = record_table(p_game, "text_lut");
  std::vector<LineState> lines(game_lines.size());
  // Each text's position in text_lut, by the address of its value (which Map::find gives).
  PointerMap positions(game_lines.size());
  for (std::size_t t = 0; t < FIELDS.size(); ++t) {
    const bool content = FIELDS[t].key == "text_lut";
    const Map& project = record_table(p_project, FIELDS[t].key);
    std::size_t i = 0;
    for (const auto& [key, english] : record_table(p_game, FIELDS[t].key)) {
      const Value* translation = project.find(key);
      const bool translated = is_translated(translation, english);
      const bool review = to_review(t, key, english, translation);
      count(stats.tables[t], translated, review);
      if (content) {
        lines[i].translated = translated;
        lines[i].review = review;
        positions.insert(&english, static_cast<std::uint32_t>(i));
      }
      ++i;
    }
  }
  // Each text counts once in each section that shows it, and once in the dialogue.
  std::uint32_t number = 0;
  for (const auto& [section, entries] : record_table(p_game, "sections")) {
    TextCounts counts;
    ++number;
    if (entries.is_list())
      for (const Value& entry : entries.as_list()) {
        const Value* ids = entry.is_map() ? entry.find("text") : nullptr;
        if (!ids || !ids->is_list()) continue;
        for (const Value& id : ids->as_list()) {
          const Value* english = id.is_text() ? game_lines.find(id.as_text()) : nullptr;
          if (!english) continue;
          LineState& line = lines[*positions.find(english)];
          if (line.section == number) continue;
          line.section = number;
          count(counts, line.translated, line.review);
          if (!line.in_dialogue) count(stats.dialogue, line.translated, line.review);
          line.in_dialogue = true;
        }
      }
    stats.sections.emplace_back(section, counts);
  }
  count_images(stats, p_game, p_project_dir);
  return stats;
}

std::vector<std::string> statistics_lines(const Statistics& p_stats) {
  std::vector<std::string> out{"Statistics:"};
  for (std::size_t t = 0; t < FIELDS.size(); ++t)
    out.push_back(counts_line(FIELDS[t].label, p_stats.tables[t]));
  out.push_back(counts_line("Dialogue", p_stats.dialogue));
  out.push_back("  Images: " + std::to_string(p_stats.images_translated) + " of " +
                std::to_string(p_stats.images_total) + " translated, " +
                std::to_string(p_stats.images_missing) + " missing");
  char percent[32];
  std::snprintf(percent, sizeof percent, "%.1f", p_stats.percent());
  out.push_back("  Done: " + std::string(percent) + "%\n");
  return out;
}

std::string statistics_json(const Statistics& p_stats) {
  Map tables;
  for (std::size_t t = 0; t < FIELDS.size(); ++t)
    tables.set(std::string(FIELDS[t].key), counts_value(p_stats.tables[t]));
  Map sections;
  for (const auto& [key, counts] : p_stats.sections) sections.set(key, counts_value(counts));
  Map images;
  images.set("total", Value(p_stats.images_total));
  images.set("translated", Value(p_stats.images_translated));
  images.set("missing", Value(p_stats.images_missing));
  Map doc;
  doc.set("tables", Value(std::move(tables)));
  doc.set("dialogue", counts_value(p_stats.dialogue));
  doc.set("sections", Value(std::move(sections)));
  doc.set("percent", Value(p_stats.percent()));
  doc.set("images", Value(std::move(images)));
  std::string out;
  append_json(out, Value(std::move(doc)));
  return out;
}

void report_statistics(const Statistics& p_stats, Window* p_app) {
  for (const std::string& line : statistics_lines(p_stats)) info(line, p_app);
}

}  // namespace verbix
