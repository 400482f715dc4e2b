// The map of the value tree: entries in insertion order with an open-addressing index of
// their key hashes beside them, so that lookups stay constant-time and iteration follows
// the order the keys were added in, as a Python dict's does.
#include <functional>
#include <string_view>

#include "data/value.h"
#include "utils/data_error.h"

namespace verbix {

namespace {

constexpr std::size_t npos = static_cast<std::size_t>(-1);

// The high half of the key's hash: it picks the slot and is kept in it, so that growing the
// index needs no rehashing.
std::uint32_t key_tag(std::string_view key) {
  return static_cast<std::uint32_t>(std::hash<std::string_view>{}(key) >> 32);
}

}  // namespace

Map::Map(std::initializer_list<std::pair<std::string_view, Value>> items) {
  reserve(items.size());
  for (const auto& [key, value] : items) set(std::string(key), value);
}

Map::Map(const Map& other) : entries_(other.entries_) {
  if (other.index_) index_ = std::make_unique<Index>(*other.index_);
}

Map& Map::operator=(const Map& other) {
  if (this != &other) {
    Map copy(other);
    *this = std::move(copy);
  }
  return *this;
}

std::size_t Map::locate(std::string_view key, std::uint32_t tag) const {
  if (!index_) {
    for (std::size_t i = 0; i < entries_.size(); ++i)
      if (entries_[i].key_ == key) return i;
    return npos;
  }
  const Index::Slots& slots = index_->slots;
  const std::size_t mask = slots.size() - 1;
  for (std::size_t pos = tag & mask;; pos = (pos + 1) & mask) {
    const std::uint64_t slot = slots[pos];
    const auto low = static_cast<std::uint32_t>(slot);
    if (low == 0) return npos;
    if (low >= 2 && static_cast<std::uint32_t>(slot >> 32) == tag && entries_[low - 2].key_ == key)
      return low - 2;
  }
}

std::size_t Map::locate_next(std::string_view key) const {
  if (!index_) return locate(key, 0);
  const std::size_t last = index_->last.load(std::memory_order_relaxed);
  const auto holds = [&](std::size_t i) {
    return i < entries_.size() && !is_dead(i) && entries_[i].key_ == key;
  };
  std::size_t i = npos;
  if (holds(last + 1))
    i = last + 1;
  else if (holds(last))
    return last;
  else
    i = locate(key, key_tag(key));
  if (i != npos) index_->last.store(static_cast<std::uint32_t>(i), std::memory_order_relaxed);
  return i;
}

const Value* Map::find(std::string_view key) const {
  const std::size_t i = locate_next(key);
  return i == npos ? nullptr : &entries_[i].value;
}

Value* Map::find(std::string_view key) {
  const std::size_t i = locate_next(key);
  return i == npos ? nullptr : &entries_[i].value;
}

const Value& Map::at(std::string_view key) const {
  if (const Value* v = find(key)) return *v;
  throw DataError("no key '" + std::string(key) + "'");
}

Value& Map::at(std::string_view key) {
  if (Value* v = find(key)) return *v;
  throw DataError("no key '" + std::string(key) + "'");
}

void Map::insert_slot(std::size_t entry, std::uint64_t tag) {
  Index::Slots& slots = index_->slots;
  const std::size_t mask = slots.size() - 1;
  for (std::size_t pos = tag & mask;; pos = (pos + 1) & mask) {
    const auto low = static_cast<std::uint32_t>(slots[pos]);
    if (low <= 1) {
      if (low == 0) ++index_->used;  // an erased slot is reused without growing the count
      slots[pos] = (tag << 32) | (entry + 2);
      return;
    }
  }
}

// Sizes the index for `expected` keys and fills it from the entries (their hashes come from
// the old index when there is one).
void Map::rebuild_index(std::size_t expected) {
  const std::size_t want = std::max(expected, size());
  std::size_t cap = 16;
  while (cap < 2 * want + 2) cap <<= 1;
  if (cap > (std::size_t{1} << 32)) throw std::length_error("map too large");
  Index::Slots old;
  if (index_) {
    old.swap(index_->slots);
  } else {
    index_ = std::make_unique<Index>();
  }
  index_->slots.assign(cap, 0);
  index_->used = 0;
  if (old.empty()) {
    for (std::size_t i = 0; i < entries_.size(); ++i)
      if (!is_dead(i)) insert_slot(i, key_tag(entries_[i].key_));
  } else {
    for (const std::uint64_t slot : old) {
      const auto low = static_cast<std::uint32_t>(slot);
      if (low >= 2) insert_slot(low - 2, slot >> 32);
    }
  }
}

void Map::append(std::string&& key, Value&& value, std::uint32_t tag) {
  if (entries_.size() >= 0xFFFFFFF0u) throw std::length_error("map too large");
  const std::size_t i = entries_.size();
  entries_.emplace_back(std::move(key), std::move(value));
  if (!index_) {
    if (entries_.size() > kLinearMax) rebuild_index(entries_.size());
    return;
  }
  if (!index_->dead.empty()) index_->dead.push_back(false);
  if ((index_->used + 1) * 2 > index_->slots.size()) rebuild_index(size());
  insert_slot(i, tag);
}

Value& Map::operator[](std::string_view key) {
  const std::uint32_t tag = index_ ? key_tag(key) : 0;
  const std::size_t i = locate(key, tag);
  if (i != npos) return entries_[i].value;
  append(std::string(key), Value(), tag);
  return entries_.back().value;
}

bool Map::set(std::string key, Value value) {
  const std::uint32_t tag = index_ ? key_tag(key) : 0;
  const std::size_t i = locate(key, tag);
  if (i != npos) {
    entries_[i].value = std::move(value);
    return false;
  }
  append(std::move(key), std::move(value), tag);
  return true;
}

std::pair<Value*, bool> Map::try_emplace(std::string&& key, Value&& value) {
  const std::uint32_t tag = index_ ? key_tag(key) : 0;
  const std::size_t i = locate(key, tag);
  if (i != npos) return {&entries_[i].value, false};
  append(std::move(key), std::move(value), tag);
  return {&entries_.back().value, true};
}

bool Map::erase(std::string_view key) {
  if (!index_) {
    const std::size_t i = locate(key, 0);
    if (i == npos) return false;
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
    return true;
  }
  const std::uint32_t tag = key_tag(key);
  Index::Slots& slots = index_->slots;
  const std::size_t mask = slots.size() - 1;
  for (std::size_t pos = tag & mask;; pos = (pos + 1) & mask) {
    const std::uint64_t slot = slots[pos];
    const auto low = static_cast<std::uint32_t>(slot);
    if (low == 0) return false;
    if (low < 2 || static_cast<std::uint32_t>(slot >> 32) != tag || entries_[low - 2].key_ != key)
      continue;
    const std::size_t i = low - 2;
    slots[pos] = 1;
    if (index_->dead.empty()) index_->dead.assign(entries_.size(), false);
    index_->dead[i] = true;
    ++index_->dead_count;
    entries_[i].key_ = std::string();
    entries_[i].value = Value();
    if (index_->dead_count >= 16 && index_->dead_count * 2 >= entries_.size()) compact();
    return true;
  }
}

void Map::compact() {
  std::size_t w = 0;
  for (std::size_t r = 0; r < entries_.size(); ++r) {
    if (is_dead(r)) continue;
    if (w != r) entries_[w] = std::move(entries_[r]);
    ++w;
  }
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(w), entries_.end());
  index_.reset();
  if (entries_.size() > kLinearMax) rebuild_index(entries_.size());
}

void Map::clear() noexcept {
  entries_.clear();
  index_.reset();
}

void Map::reserve(std::size_t n) {
  // Geometric, so that reserving a little more at each step costs no more than appending.
  if (n > entries_.capacity()) entries_.reserve(std::max(n, 2 * entries_.capacity()));
  if (n > kLinearMax && (!index_ || 2 * n + 2 > index_->slots.size())) rebuild_index(n);
}

bool Map::same_keys(const Map& other) const {
  if (size() != other.size()) return false;
  for (const auto& entry : *this)
    if (!other.contains(entry.key())) return false;
  return true;
}

}  // namespace verbix
