#include "data/dialogue_meta.h"

#include <functional>
#include <stdexcept>

namespace verbix {

namespace {

constexpr std::string_view kFormat = "format";

std::uint32_t tag_of(std::string_view id) {
  return static_cast<std::uint32_t>(std::hash<std::string_view>{}(id) >> 32);
}

}  // namespace

std::uint32_t DialogueMeta::locate(std::string_view p_id, std::uint32_t p_tag,
                                   std::size_t& p_slot) const {
  const std::size_t mask = index_.size() - 1;
  for (std::size_t pos = p_tag & mask;; pos = (pos + 1) & mask) {
    const std::uint64_t slot = index_[pos];
    const auto low = static_cast<std::uint32_t>(slot);
    if (low == 0) {
      p_slot = pos;
      return Place::kNone;
    }
    if (static_cast<std::uint32_t>(slot >> 32) == p_tag && keys_[low - 1].id.as_text() == p_id) {
      p_slot = pos;
      return low - 1;
    }
  }
}

void DialogueMeta::grow_index(std::size_t p_ids) {
  std::size_t cap = 16;
  while (cap < 2 * p_ids + 2) cap <<= 1;
  if (cap <= index_.size()) return;
  index_.assign(cap, 0);
  const std::size_t mask = cap - 1;
  for (std::size_t k = 0; k < keys_.size(); ++k) {
    const std::uint32_t tag = tag_of(keys_[k].id.as_text());
    std::size_t pos = tag & mask;
    while (index_[pos] != 0) pos = (pos + 1) & mask;
    index_[pos] = (std::uint64_t{tag} << 32) | (k + 1);
  }
}

void DialogueMeta::reserve(std::size_t p_ids) {
  keys_.reserve(p_ids);
  places_.reserve(p_ids);
  grow_index(p_ids);
}

DialogueMeta::Key& DialogueMeta::key(std::string_view p_id) {
  if (keys_.size() >= 0xFFFFFFF0u) throw std::length_error("too many ids");
  if (2 * keys_.size() + 4 > index_.size()) grow_index(keys_.size() + 1);
  const std::uint32_t tag = tag_of(p_id);
  std::size_t slot = 0;
  const std::uint32_t at = locate(p_id, tag, slot);
  if (at != Place::kNone) return keys_[at];
  keys_.push_back({Value(p_id)});
  index_[slot] = (std::uint64_t{tag} << 32) | keys_.size();
  return keys_.back();
}

std::uint32_t DialogueMeta::append_place(long long p_at, Value&& p_text) {
  if (places_.size() >= 0xFFFFFFF0u) throw std::length_error("too many places");
  places_.push_back({p_at, std::move(p_text)});
  return static_cast<std::uint32_t>(places_.size() - 1);
}

void DialogueMeta::add(std::string_view p_id, long long p_at, Value p_text) {
  if (p_id == kFormat) return;
  Key& k = key(p_id);
  const std::uint32_t place = append_place(p_at, std::move(p_text));
  if (k.last == Place::kNone)
    k.first = place;
  else
    places_[k.last].next = place;
  k.last = place;
}

void DialogueMeta::replace(std::string_view p_id, long long p_at, Value p_text) {
  if (p_id == kFormat) return;
  Key& k = key(p_id);
  // The id's earlier places stay in the array, unreachable: a table entry read twice is rare.
  k.first = k.last = append_place(p_at, std::move(p_text));
}

const DialogueMeta::Place* DialogueMeta::first(std::string_view p_id) const {
  if (index_.empty()) return nullptr;
  std::size_t slot = 0;
  const std::uint32_t at = locate(p_id, tag_of(p_id), slot);
  if (at == Place::kNone || keys_[at].first == Place::kNone) return nullptr;
  return &places_[keys_[at].first];
}

const DialogueMeta::Place* DialogueMeta::next(const Place& p_place) const {
  return p_place.next == Place::kNone ? nullptr : &places_[p_place.next];
}

const DialogueMeta::Place* DialogueMeta::nth(std::string_view p_id, std::size_t p_index) const {
  const Place* head = first(p_id);
  const Place* place = head;
  for (std::size_t i = 0; place && i < p_index; ++i) place = next(*place);
  return place ? place : head;
}

Value DialogueMeta::to_value() const {
  Map out;
  if (format_.empty() && keys_.empty()) return Value(std::move(out));
  out.reserve(keys_.size() + 1);
  out.set(std::string(kFormat), Value(format_));
  for (const Key& k : keys_) {
    List places;
    for (std::uint32_t p = k.first; p != Place::kNone; p = places_[p].next)
      places.push_back(list_value(Value(places_[p].at), places_[p].text));
    out.set(std::string(k.id.as_text()), Value(std::move(places)));
  }
  return Value(std::move(out));
}

DialogueMeta DialogueMeta::from_value(const Value& p_meta) {
  DialogueMeta meta;
  if (!p_meta.is_map()) return meta;
  for (const auto& [id, places] : p_meta.as_map()) {
    if (id == kFormat) {
      if (places.is_text()) meta.format_ = places.as_text();
      continue;
    }
    if (!places.is_list()) continue;
    for (const Value& place : places.as_list()) {
      if (!place.is_list() || place.size() < 2 || !place[0].is_int()) break;
      meta.add(id, place[0].as_int(), place[1]);
    }
  }
  return meta;
}

}  // namespace verbix
