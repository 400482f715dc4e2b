#include "review/english_changes.h"

#include <string_view>
#include "text/text_form.h"
#include "utils/view_set.h"

namespace verbix {

std::array<std::vector<EnglishChange>, FIELDS.size()> english_changes(const Baseline& p_baseline,
                                                                      const Value& p_game,
                                                                      const RecordMerge& p_merge) {
  std::array<std::vector<EnglishChange>, FIELDS.size()> out;
  for (size_t i = 0; i < FIELDS.size(); ++i) {
    const Value* old_table = p_baseline.tables.find(FIELDS[i].key);
    if (!old_table || !old_table->is_map()) continue;
    const ViewSet added(p_merge.tables[i].adds.begin(), p_merge.tables[i].adds.end());
    for (const auto& [key, now] : record_table(p_game, FIELDS[i].key)) {
      const Value* was = old_table->as_map().find(key);
      if (!was || *was == now || added.contains(key)) continue;
      out[i].push_back({key, *was, now});
    }
  }
  return out;
}

std::string english_text(const Value& p_value) {
  if (!p_value.is_list()) return text_form(p_value);
  const List& lines = p_value.as_list();
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) out += '\n';
    out += text_form(lines[i]);
  }
  return out;
}

}  // namespace verbix
