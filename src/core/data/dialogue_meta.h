// Where each key and content id of a dialogue file stood, as its reader met them: the form's
// name ("TXT" or "CSV"), then for each id its places, each a line (TXT) or row (CSV) with the
// text read there. Places are kept in flat arrays with a hash index, not as a value tree, so
// that a file of millions of short blocks costs a few dozen bytes per id.
//
// Its value form, for Python and for callers that pass positions in, is the DialogueMeta map:
// "format" -> the form's name first, then id -> [[line or row, text], ...] in the order the
// ids were first met.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/value.h"

namespace verbix {

class DialogueMeta {
 public:
  struct Place {
    long long at = 0;  // the line or row, counted from 1
    Value text;        // the text read there (a block's lines joined with "\n")
    std::uint32_t next = kNone;

   private:
    friend class DialogueMeta;
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
  };

  DialogueMeta() = default;
  explicit DialogueMeta(std::string p_format) : format_(std::move(p_format)) {}

  // The form's name; empty for a failed read.
  const std::string& format() const noexcept { return format_; }
  // How many ids have places.
  std::size_t size() const noexcept { return keys_.size(); }

  // The first place of `p_id`, or null when it has none; `next` gives the following one.
  const Place* first(std::string_view p_id) const;
  const Place* next(const Place& p_place) const;
  // The `p_index`-th place of `p_id`, else its first; null when it has none.
  const Place* nth(std::string_view p_id, std::size_t p_index) const;

  // For the readers. `add` appends a place (a block or option); `replace` makes it the id's
  // only place (a table entry), the id keeping its position in the order. The id "format"
  // names the form and never has places: both ignore it. Throw std::bad_alloc or
  // std::length_error past 4 billion places.
  void add(std::string_view p_id, long long p_at, Value p_text);
  void replace(std::string_view p_id, long long p_at, Value p_text);
  // Room for `p_ids` ids and as many places, so that a reader that counted them first does
  // not grow the arrays while reading.
  void reserve(std::size_t p_ids);

  // The DialogueMeta map described above; {} for a failed read.
  Value to_value() const;
  // The positions of a DialogueMeta map from outside: an id's places are kept up to the first
  // that is not a list of a whole number and something else; other entries are ignored.
  static DialogueMeta from_value(const Value& p_meta);

 private:
  struct Key {
    Value id;
    std::uint32_t first = Place::kNone;
    std::uint32_t last = Place::kNone;
  };
  // The position in keys_ of `p_id`, or kNone; `p_slot` gets the index slot where it is or
  // would go.
  std::uint32_t locate(std::string_view p_id, std::uint32_t p_tag, std::size_t& p_slot) const;
  // The id's entry, added at the end when missing.
  Key& key(std::string_view p_id);
  void grow_index(std::size_t p_ids);
  std::uint32_t append_place(long long p_at, Value&& p_text);

  std::string format_;
  std::vector<Key> keys_;
  std::vector<Place> places_;
  // Open addressing: each slot holds the key's hash tag in its high half and its position in
  // keys_ + 1 in its low half (0: free).
  std::vector<std::uint64_t> index_;
};

}  // namespace verbix
