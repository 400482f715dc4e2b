#include "review/review_list.h"

#include <set>
#include <utility>

#include "data/sha256.h"
#include "text/py_text.h"

namespace verbix {
namespace {

constexpr std::string_view kImage = "Image";

// The table number of a report label, or FIELDS.size() when it names none.
std::size_t table_number(std::string_view p_label) {
  for (std::size_t i = 0; i < FIELDS.size(); ++i)
    if (FIELDS[i].label == p_label) return i;
  return FIELDS.size();
}

}  // namespace

const CsvRow& review_header() {
  static const CsvRow header = {"Kind",        "Table",       "ID",         "Position",
                                "Old English", "New English", "Translation"};
  return header;
}

std::vector<ReviewRow> review_rows(const CsvTable& p_rows) {
  std::vector<ReviewRow> out;
  for (const CsvRow& row : p_rows) {
    if (row.size() < 3 || row == review_header() || py_is_blank(row[2])) continue;
    const auto cell = [&](std::size_t i) { return i < row.size() ? row[i] : std::string(); };
    const std::optional<long long> position = py_int(cell(3));
    out.push_back({row[0], row[1], row[2],
                   position && *position > 0 ? static_cast<std::size_t>(*position) : 0, cell(4),
                   cell(5), cell(6)});
  }
  return out;
}

CsvTable review_table(const std::vector<ReviewRow>& p_rows) {
  CsvTable out;
  out.reserve(p_rows.size() + 1);
  out.push_back(review_header());
  for (const ReviewRow& r : p_rows)
    out.push_back({r.kind, r.table, r.id, r.position ? std::to_string(r.position) : std::string(),
                   r.old_english, r.new_english, r.translation});
  return out;
}

std::vector<std::string> review_ids(const std::vector<ReviewRow>& p_previous) {
  std::vector<std::string> ids;
  for (const ReviewRow& row : p_previous)
    if (row.table != kImage) ids.push_back(row.id);
  return ids;
}

std::size_t review_position(const IdPlaces& p_places, std::size_t p_table, const std::string& p_key,
                            const Value& p_game) {
  const std::vector<IdPlace>& at = p_places.of(p_key);
  if (at.empty()) return 0;
  const bool description =
      FIELDS[p_table].key == "text_lut" && record_table(p_game, "item_lut").contains(p_key);
  return description ? at.back().at : at.front().at;
}

std::vector<ReviewRow> next_review(const std::vector<ReviewRow>& p_previous,
                                   const ReviewInput& p_input) {
  std::vector<ReviewRow> out;
  std::set<std::pair<std::string, std::string>> listed;  // (table, id)
  for (const ReviewRow& row : p_previous) {
    if (row.table == kImage) {
      const Value* now = record_table(p_input.game, "img_data").find(row.id);
      if (!now || !now->is_bytes() || p_input.image_hash(row.id) != row.translation) continue;
      if (!listed.emplace(row.table, row.id).second) continue;
      ReviewRow kept = row;
      kept.new_english = sha256_hex(now->as_bytes());
      out.push_back(std::move(kept));
      continue;
    }
    const std::size_t t = table_number(row.table);
    if (t == FIELDS.size()) continue;
    const Value* now = record_table(p_input.game, FIELDS[t].key).find(row.id);
    const Value* translation = record_table(p_input.merged, FIELDS[t].key).find(row.id);
    if (!now || !translation || english_text(*translation) != row.translation) continue;
    if (!listed.emplace(row.table, row.id).second) continue;
    ReviewRow kept = row;
    kept.position = review_position(p_input.places, t, row.id, p_input.game);
    kept.new_english = english_text(*now);
    out.push_back(std::move(kept));
  }
  for (std::size_t t = 0; t < FIELDS.size(); ++t) {
    const std::string label(FIELDS[t].label);
    const Map& game = record_table(p_input.game, FIELDS[t].key);
    const Map& merged = record_table(p_input.merged, FIELDS[t].key);
    const auto add = [&](std::string_view kind, const std::string& id, std::string old_english) {
      if (!listed.emplace(label, id).second) return;
      const Value* now = game.find(id);
      const Value* translation = merged.find(id);
      out.push_back({std::string(kind), label, id,
                     review_position(p_input.places, t, id, p_input.game), std::move(old_english),
                     now ? english_text(*now) : std::string(),
                     translation ? english_text(*translation) : std::string()});
    };
    for (const std::string& id : p_input.tables[t].adds) add("added", id, std::string());
    for (const EnglishChange& change : p_input.changed[t])
      add("changed", change.key, english_text(change.was));
  }
  for (const ReviewRow& row : p_input.image_rows)
    if (listed.emplace(row.table, row.id).second) out.push_back(row);
  return out;
}

}  // namespace verbix
