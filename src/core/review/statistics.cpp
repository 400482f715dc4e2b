#include "review/statistics.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <unordered_set>

#include "app/project_images.h"
#include "project/json_text.h"
#include "review/english_changes.h"
#include "review/review_list.h"
#include "text/py_text.h"
#include "text/text_form.h"
#include "utils/file_helpers.h"
#include "utils/file_io.h"
#include "utils/os_error.h"
#include "utils/paths.h"
#include "utils/view_set.h"

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

// Whether english_text(p_value) is blank, without joining its lines: the line feeds that
// join them are blank themselves.
bool is_blank_english(const Value& p_value) {
  const auto blank = [](const Value& v) {
    return v.is_text() ? py_is_blank(v.as_text()) : py_is_blank(text_form(v));
  };
  if (!p_value.is_list()) return blank(p_value);
  for (const Value& line : p_value.as_list())
    if (!blank(line)) return false;
  return true;
}

// Whether a translation of `p_english` counts as translated.
bool is_translated(const Value* p_translation, const Value& p_english) {
  return p_translation && !is_blank_english(*p_translation) && !(*p_translation == p_english);
}

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
  // Whether a text of table `t` is to review: listed, or its English changed since the
  // baseline while the project kept a translation.
  const auto to_review = [&](std::size_t t, std::string_view key, const Value& english,
                             const Value* translation) {
    if (!listed.empty() && listed.contains(std::string(FIELDS[t].label) + "\n" + std::string(key)))
      return true;
    if (!p_baseline || !translation) return false;
    const Value* table = p_baseline->tables.find(FIELDS[t].key);
    const Value* was = table && table->is_map() ? table->as_map().find(key) : nullptr;
    return was && !(*was == english);
  };
  std::size_t lines_table = 0;
  for (std::size_t t = 0; t < FIELDS.size(); ++t) {
    if (FIELDS[t].key == "text_lut") lines_table = t;
    const Map& project = record_table(p_project, FIELDS[t].key);
    for (const auto& [key, english] : record_table(p_game, FIELDS[t].key)) {
      const Value* translation = project.find(key);
      count(stats.tables[t], is_translated(translation, english),
            to_review(t, key, english, translation));
    }
  }
  const Map& game_lines = record_table(p_game, "text_lut");
  const Map& project_lines = record_table(p_project, "text_lut");
  ViewSet in_dialogue;  // views into the game record
  for (const auto& [section, entries] : record_table(p_game, "sections")) {
    TextCounts counts;
    ViewSet in_section;
    if (entries.is_list())
      for (const Value& entry : entries.as_list()) {
        const Value* ids = entry.is_map() ? entry.find("text") : nullptr;
        if (!ids || !ids->is_list()) continue;
        for (const Value& id : ids->as_list()) {
          if (!id.is_text() || !in_section.insert(id.as_text())) continue;
          const Value* english = game_lines.find(id.as_text());
          if (!english) continue;
          const Value* translation = project_lines.find(id.as_text());
          const bool translated = is_translated(translation, *english);
          const bool review = to_review(lines_table, id.as_text(), *english, translation);
          count(counts, translated, review);
          if (in_dialogue.insert(id.as_text())) count(stats.dialogue, translated, review);
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
