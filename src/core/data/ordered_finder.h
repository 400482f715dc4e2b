// Looks up keys in a map that are mostly asked for in the map's own order, and tells the
// position of each entry found, as the statistics need for the game's sections, which name
// text_lut's ids in its order: each lookup first tries the entry after the last one found,
// and only when that is not the key asked for falls back to the hash lookup (and goes on
// from where that found the key).
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "data/pointer_map.h"
#include "data/value.h"

namespace verbix {

class OrderedFinder {
 public:
  // The map must outlive the finder and not change while it is used.
  explicit OrderedFinder(const Map& p_map) : map_(p_map) {
    entries_.reserve(p_map.size());
    for (const auto& entry : p_map) entries_.push_back(&entry);
  }

  // The value under `p_key`, or null when it is missing.
  const Value* find(std::string_view p_key) {
    if (next_ < entries_.size() && entries_[next_]->key() == p_key)
      return &entries_[next_++]->value;
    const Value* found = map_.find(p_key);
    if (found) next_ = position(found) + 1;
    return found;
  }

  // The position in the map's order of the entry the last successful find returned.
  std::size_t last_position() const { return next_ - 1; }

 private:
  std::size_t position(const Value* p_value) {
    if (!positions_) {
      positions_.emplace(entries_.size());
      for (std::size_t i = 0; i < entries_.size(); ++i)
        positions_->insert(&entries_[i]->value, static_cast<std::uint32_t>(i));
    }
    return *positions_->find(p_value);
  }

  const Map& map_;
  std::vector<const MapEntry*> entries_;
  std::size_t next_ = 0;
  std::optional<PointerMap> positions_;  // made at the first lookup out of order
};

}  // namespace verbix
