#include "data/record_merge.h"

#include <utility>

#include "text/text_form.h"

namespace verbix {
namespace {

// Moves the translation of each replaced id to its new id. Only where the game has made the
// replacement (it has the new id and no longer the old one): against a game that still has
// the old id, the move would leave the old id to be refilled with English and put the
// translation under an id the game lacks.
void apply_swaps(const Value& p_game, Value& p_file, std::vector<IdSwap>& p_done) {
  const Map& game_lines = record_table(p_game, "text_lut");
  Value* lines = p_file.find("text_lut");
  if (!lines || !lines->is_map()) return;
  for (const IdSwap& swap : SWAPS) {
    if (!game_lines.contains(swap.new_id) || game_lines.contains(swap.old_id)) continue;
    Value* old_value = lines->as_map().find(swap.old_id);
    if (!old_value) continue;
    Value moved = std::move(*old_value);
    lines->as_map().erase(swap.old_id);
    lines->as_map().set(std::string(swap.new_id), std::move(moved));
    p_done.push_back(swap);
  }
}

// One table merged: exactly the game's keys in the game's order, the translation's
// non-empty values kept. A key that is empty in both is kept, and is no addition.
Map merge_table(const Map& a, const Map& b, TableChanges& changes) {
  Map c;
  c.reserve(b.size());
  for (const auto& [key, game_value] : b) {
    const Value* mine = a.find(key);
    if (mine && truth(*mine)) {
      c.set(key, *mine);
      continue;
    }
    // A speaker the game shows without a name has nothing to translate: its empty
    // translation is complete, not an addition.
    if (mine && !truth(game_value) && !truth(*mine)) {
      c.set(key, game_value);
      continue;
    }
    if (mine) changes.restored.push_back(key);
    c.set(key, game_value);
    changes.adds.push_back(key);
  }
  for (const auto& [key, value] : a)
    if (!b.contains(key)) changes.rems.push_back(key);
  return c;
}

}  // namespace

const Map& record_table(const Value& p_rec, std::string_view p_key) {
  static const Map empty;
  const Value* table = p_rec.find(p_key);
  return table && table->is_map() ? table->as_map() : empty;
}

RecordMerge merge_records(const Value& p_game, Value p_file) {
  RecordMerge out;
  apply_swaps(p_game, p_file, out.swaps);
  for (size_t i = 0; i < FIELDS.size(); ++i) {
    Map merged = merge_table(record_table(p_file, FIELDS[i].key),
                             record_table(p_game, FIELDS[i].key), out.tables[i]);
    p_file[FIELDS[i].key] = Value(std::move(merged));
  }
  const Value* game_ver = p_game.find("ver_hash");
  const Value game_hash = game_ver ? *game_ver : Value();
  const Value* file_ver = p_file.find("ver_hash");
  if (file_ver) out.old_version = *file_ver;
  if (!file_ver || !(*file_ver == game_hash)) {
    out.version_changed = true;
    p_file["ver_hash"] = game_hash;
  }
  const Value* sections = p_game.find("sections");
  p_file["sections"] = sections ? *sections : Value::map();
  out.record = std::move(p_file);
  return out;
}

}  // namespace verbix
