// Where a dialogue writer put the ids asked for: each line (TXT) or row (CSV, counted from 1,
// empty rows included) at which an id was written, with the text that reading the file back
// gives there. These are the places the readers record in DialogueMeta, so a caller learns
// them from the writer without reading the written file again.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace verbix {

struct IdPlace {
  std::size_t at = 0;  // the line or row
  std::string text;    // a table entry's text, or a block's lines joined with "\n"
};

class IdPlaces {
 public:
  // Asks for the places of `p_id`. The id "format" names the form in DialogueMeta and never
  // has places.
  void want(std::string_view p_id);

  // Whether the places of `p_id` were asked for.
  bool wants(std::string_view p_id) const { return find(p_id) != nullptr; }

  // The places of `p_id` in the order the reader records them; empty when it was not
  // written or not asked for.
  const std::vector<IdPlace>& of(std::string_view p_id) const;

  // For the writers: a table entry, whose place replaces the earlier ones (as reading it back
  // does), and a block or choice option, whose place is added. Ids not asked for are ignored.
  void replace(std::string_view p_id, std::size_t p_at, std::string p_text);
  void add(std::string_view p_id, std::size_t p_at, std::string p_text);

 private:
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  using Table = std::unordered_map<std::string, std::vector<IdPlace>, Hash, std::equal_to<>>;
  const std::vector<IdPlace>* find(std::string_view p_id) const;
  std::vector<IdPlace>* find(std::string_view p_id);

  Table places_;
};

}  // namespace verbix
