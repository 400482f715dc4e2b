// The merge of a translation record with the game's record, as Check and Update do it: the
// ids the game replaced moved to their new ids, every compared table given exactly the game's
// keys in the game's order (the translation's non-empty texts kept, the rest from the game),
// and the game's version stamp and dialogue sections taken over. Pure: nothing is reported
// here; the changes come back for the caller to report.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "data/value.h"

namespace verbix {

// Content ids the game replaced, applied to a translation's text_lut in this order.
struct IdSwap {
  std::string_view old_id;
  std::string_view new_id;
};
inline constexpr std::array<IdSwap, 4> SWAPS = {{
    {"yrrRQ30Q", "w7ZvbBvC"},
    {"lcmDVkXT", "4yhN4h9P"},
    {"cT2mmJwp", "DCRBH5zy"},
    {"GXCRgnRB", "DxhMltBG"},
}};

// The tables compared by the merge, with the label the report uses for each, in this order.
struct Field {
  std::string_view key;
  std::string_view label;
};
inline constexpr std::array<Field, 5> FIELDS = {{
    {"sys_lbls", "Label"},
    {"sys_menu", "Menu"},
    {"actr_lut", "Actor"},
    {"item_lut", "Item"},
    {"text_lut", "Lines"},
}};

// What the merge did to one table, each list in the order of the table it comes from.
struct TableChanges {
  std::vector<std::string> adds;      // keys given the game's value (in the game's order)
  std::vector<std::string> rems;      // keys of the translation the game no longer has
  std::vector<std::string> restored;  // adds whose translation was there but empty
};

// The merged record and what changed, table by table in the order of FIELDS.
struct RecordMerge {
  Value record;
  std::vector<IdSwap> swaps;  // the replaced ids moved, in the order of SWAPS
  std::array<TableChanges, FIELDS.size()> tables;
  bool version_changed = false;  // the translation lacked the game's version stamp
  Value old_version;             // the translation's own stamp (none when it had none)
};

// The value of table `p_key` in a record, or the empty map when it has none (or not a map).
const Map& record_table(const Value& p_rec, std::string_view p_key);

// Merges the translation record `p_file` with the game's record `p_game`. Always succeeds:
// a table missing from either record is merged as empty.
RecordMerge merge_records(const Value& p_game, Value p_file);

}  // namespace verbix
