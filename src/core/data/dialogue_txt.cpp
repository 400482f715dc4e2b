#include "data/dialogue_txt.h"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "data/language_data.h"
#include "text/py_text.h"
#include "text/text_form.h"
#include "utils/data_error.h"

namespace verbix {
namespace {

constexpr std::string_view kChoices = "[CHOICES]";
constexpr std::string_view kNarrator = "Narrator";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// -- Text helpers, following Python's str rules --

// `text` without its first code point when that is white space.
std::string_view drop_one_space(std::string_view text) {
  if (text.empty()) return text;
  std::size_t pos = 0;
  return is_py_space(next_code_point(text, pos)) ? text.substr(pos) : text;
}

std::string_view trim_left(std::string_view text, char c) {
  const std::size_t n = text.find_first_not_of(c);
  return n == std::string_view::npos ? std::string_view() : text.substr(n);
}

std::string_view trim_right(std::string_view text, char c) {
  const std::size_t n = text.find_last_not_of(c);
  return n == std::string_view::npos ? std::string_view() : text.substr(0, n + 1);
}

// The tag name of a tag line: every leading and trailing "[", "]" and blank removed.
std::string_view tag_name(std::string_view line) {
  constexpr std::string_view kTrim = "[] ";
  const std::size_t begin = line.find_first_not_of(kTrim);
  if (begin == std::string_view::npos) return {};
  return line.substr(begin, line.find_last_not_of(kTrim) - begin + 1);
}

// The value of a "[FONT]" or "[CREDITS]" line: everything after its first ":", stripped, or
// the whole line when it holds none.
std::string_view colon_value(std::string_view line) {
  const std::size_t colon = line.find(':');
  return colon == std::string_view::npos ? line : py_strip_view(line.substr(colon + 1));
}

Value join_lines(const List& lines) {
  // One line is shared with the block's list, not copied.
  if (lines.size() == 1) return lines.front();
  std::size_t size = lines.empty() ? 0 : lines.size() - 1;
  for (const Value& line : lines) size += line.as_text().size();
  std::string out;
  out.reserve(size);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i) out += '\n';
    out += lines[i].as_text();
  }
  return Value(out);
}

// The text form of a value appended to `out`, without a copy of a text.
void append_form(std::string& out, const Value& v) {
  if (v.is_text())
    out += v.as_text();
  else
    out += repr(v);
}

// The text form of a value: a view of a text itself, or of its representation in `scratch`.
std::string_view form_view(const Value& v, std::string& scratch) {
  if (v.is_text()) return v.as_text();
  scratch = repr(v);
  return scratch;
}

// -- Writer --

// The line (counted from 1) that the next text appended to `out` starts on, counted as
// the text grows: every call scans only what was appended since the last.
class LineCount {
 public:
  explicit LineCount(const std::string& out) : out_(out) {}
  std::size_t next() {
    lines_ += static_cast<std::size_t>(std::count(out_.begin() + scanned_, out_.end(), '\n'));
    scanned_ = out_.size();
    return lines_ + 1;
  }

 private:
  const std::string& out_;
  std::size_t scanned_ = 0;
  std::size_t lines_ = 0;
};

// Where the writer puts the ids asked for (nothing to do without `places`).
struct PlaceRecorder {
  IdPlaces* places;
  LineCount lines;
  bool wants(std::string_view id) const { return places && places->wants(id); }
  // A table entry starting at the next line.
  void entry(std::string_view id, const Value& text) {
    if (wants(id)) places->replace(id, lines.next(), std::string(form(text)));
  }
  // A block (or choice option) starting at the next line, with the lines it reads back as.
  void block(std::string_view id, std::string text) {
    if (wants(id)) places->add(id, lines.next(), std::move(text));
  }
  static std::string form(const Value& v) {
    return v.is_text() ? std::string(v.as_text()) : repr(v);
  }
};

// The lines of a text_lut entry joined with "\n" as the reader gives them back ("" when
// absent).
std::string content_text(const Value* entry) {
  std::string out;
  if (!entry || entry->is_none()) return out;
  bool first = true;
  for (const Value& line : entry->as_list()) {
    if (!first) out += '\n';
    first = false;
    append_form(out, line);
  }
  return out;
}

// The record's value under `key` as a map; throws DataError when it is not one.
const Map& table(const Value& rec, std::string_view key) { return rec[key].as_map(); }

// Appends ": " + line + "\n" for each line of a text_lut entry (none when absent).
void append_content(std::string& out, const Value* entry) {
  if (!entry || entry->is_none()) return;
  for (const Value& line : entry->as_list()) {
    out += ": ";
    append_form(out, line);
    out += '\n';
  }
}

// Appends a section of "key : text" lines, one per entry of the table, each key after
// `prefix` ("#" before the ids of speakers and items).
void append_table(std::string& out, std::string_view tag, const Map& table, std::string_view prefix,
                  PlaceRecorder& rec) {
  out += "\n[";
  out += tag;
  out += "]\n";
  for (const auto& [id, name] : table) {
    rec.entry(id, name);
    out += prefix;
    out += id;
    out += " : ";
    append_form(out, name);
    out += '\n';
  }
}

std::string write_txt(const Value& rec, IdPlaces* places) {
  const Map& lbls = table(rec, "sys_lbls");
  const Map& menu = table(rec, "sys_menu");
  const Map& actr = table(rec, "actr_lut");
  const Map& text_lut = table(rec, "text_lut");
  const Map& sections = table(rec, "sections");
  const Map items = sort_values(table(rec, "item_lut"));
  const List& credits = rec["lng_info"].as_list();

  std::string out;
  PlaceRecorder at{places, LineCount(out)};
  out += "[VERSION]\n";
  append_form(out, rec["ver_hash"]);
  out += "\n\n[LANGUAGE]\n";
  append_form(out, rec["lng_name"]);
  out += "\n\n[FONT]\nFile : ";
  append_form(out, rec["fnt_face"]);
  out += "\nSize : ";
  append_form(out, rec["fnt_size"]);
  out += "\n\n[CREDITS]\n";
  // Always three credit lines: missing ones are written empty, extra ones are not written.
  for (std::size_t i = 0; i < 3; ++i) {
    out += std::to_string(i + 1);
    out += " : ";
    if (i < credits.size()) append_form(out, credits[i]);
    out += '\n';
  }

  append_table(out, "LABELS", lbls, "", at);

  out += "\n[MENUS]\n";
  std::size_t pad = 0;
  for (const auto& [key, text] : menu) pad = std::max(pad, code_point_count(key));
  for (const auto& [key, text] : menu) {
    at.entry(key, text);
    out += key;
    out.append(pad - code_point_count(key), ' ');
    out += " : ";
    append_form(out, text);
    out += '\n';
  }

  // Nameless speakers are written too ("#id : "): the fingerprint covers their ids.
  append_table(out, "SPEAKERS", sort_values(actr), "#", at);
  append_table(out, "ITEMS", items, "#", at);

  out += "\n[DESCRIPTIONS]\n";
  for (const auto& [id, name] : items) {
    out += '\n';
    if (at.wants(id)) at.block(id, content_text(text_lut.find(id)));
    out += '#';
    out += id;
    out += " (";
    append_form(out, name);
    out += ")\n";
    append_content(out, text_lut.find(id));
  }

  std::string scratch;  // the text form of an id that is not a text
  for (const auto& [key, entries] : sections) {
    out += "\n\n[";
    out += key;
    out += "]\n";
    for (const Value& entry : entries.as_list()) {
      const Value& name = entry["name"];
      const List& ids = entry["text"].as_list();
      if (name.is_text() && name.as_text() == kChoices) {
        out += '\n';
        out += kChoices;
        out += '\n';
        for (const Value& id : ids) {
          const std::string_view cid = form_view(id, scratch);
          const Value* text = text_lut.find(cid);
          if (at.wants(cid))
            at.block(cid, !text || text->is_none()  ? std::string("N/A")
                          : text->as_list().empty() ? std::string()
                                                    : PlaceRecorder::form(text->as_list().front()));
          out += '#';
          out += cid;
          out += " : ";
          // An option without text is written empty, so that its id still comes back.
          if (!text || text->is_none())
            out += "N/A";
          else if (!text->as_list().empty())
            append_form(out, text->as_list().front());
          out += '\n';
        }
        continue;
      }
      // A block without a content id has nothing to show or to read back.
      if (ids.empty()) continue;
      const std::string_view cid = form_view(ids.front(), scratch);
      const Value* speaker = name.is_text() ? actr.find(name.as_text()) : nullptr;
      out += '\n';
      if (at.wants(cid)) at.block(cid, content_text(text_lut.find(cid)));
      out += '#';
      out += cid;
      out += " (";
      const std::size_t shown_at = out.size();
      if (speaker && !speaker->is_none()) append_form(out, *speaker);
      if (out.size() == shown_at) out += kNarrator;
      out += ")\n";
      append_content(out, text_lut.find(cid));
    }
  }
  return out;
}

// -- Reader --

// A dialogue section being read: its entries are the record's entry maps, built as the
// headers are met.
struct Section {
  std::string key;
  List entries;
};

// A section entry of the record: the speaker (or "[CHOICES]") and its content ids.
Value section_entry(std::string name, List ids) {
  Map entry;
  entry.reserve(2);
  entry.set("name", Value(std::move(name)));
  entry.set("text", Value(std::move(ids)));
  return Value(std::move(entry));
}

// How many lines of the text start with "#": at most as many ids as the reader will meet.
std::size_t count_id_lines(std::string_view text) {
  std::size_t count = !text.empty() && text.front() == '#';
  for (std::size_t at = text.find("\n#"); at != std::string_view::npos;
       at = text.find("\n#", at + 2))
    ++count;
  return count;
}

// How the lines under the current tag are read.
enum class TagKind { Skip, Version, Language, Font, Credits, Table, Content };

class TxtReader {
 public:
  explicit TxtReader(Window* app) : app_(app) {}

  DialogueRead read(std::string_view text);

 private:
  // Each returns false after reporting a failure.
  void handle_tag(std::string_view line);
  bool handle_font(std::string_view line);
  bool handle_credit(std::string_view line);
  void handle_table(std::string_view line);
  bool handle_header(std::string_view line);
  bool handle_content(std::string_view line);

  void set_tag(std::string_view tag);
  void clear_tag();
  // The position in sections_ of the section under `key`, added when missing.
  std::size_t section(const std::string& key);
  // Records the open block's place [header line, its lines joined] and its lines.
  void close_block();
  std::string speaker_id(std::string_view shown) const;
  DialogueRead fail(std::string_view msg) { return error(msg, read_failure(), app_); }
  DialogueRead result();

  Window* app_;

  // The record's parts, assembled into a record at the end.
  std::string ver_hash_;
  std::string lng_name_ = "English";
  std::string lng_info_[3];
  std::string fnt_face_ = "GameFont";
  long long fnt_size_ = 28;
  Map sys_lbls_, sys_menu_, actr_lut_, item_lut_, text_lut_;
  std::vector<Section> sections_;
  std::unordered_map<std::string, std::size_t> section_at_;
  DialogueMeta meta_{"TXT"};

  std::string tag_;  // the current tag; empty while lines are skipped
  std::string upper_tag_;
  TagKind kind_ = TagKind::Skip;
  long long section_index_ = -1;
  std::size_t current_section_ = 0;  // in sections_, while a dialogue section is current
  long long counter_ = 0;            // lines since the last recognised tag
  long long line_no_ = 0;
  bool choice_ = false;
  // The current choice entry: its section and position there.
  std::size_t choice_section_ = 0;
  std::size_t choice_entry_ = 0;
  // The dialogue block or item description being read, until it closes.
  // Its text_lut entry stays where it is until it closes: nothing is added to the map while
  // a block is open.
  bool block_open_ = false;
  long long block_line_ = 0;
  std::string block_key_;
  List block_lines_;
  Value* block_text_ = nullptr;
  std::unordered_map<std::string, std::string> speakers_;  // display name -> id
};

std::size_t TxtReader::section(const std::string& key) {
  auto [it, added] = section_at_.try_emplace(key, sections_.size());
  if (added) sections_.push_back({key, {}});
  return it->second;
}

void TxtReader::close_block() {
  if (!block_open_) return;
  block_open_ = false;
  meta_.add(block_key_, block_line_, join_lines(block_lines_));
  *block_text_ = Value(std::move(block_lines_));
  block_lines_ = List();
}

void TxtReader::set_tag(std::string_view tag) {
  tag_ = tag;
  upper_tag_ = py_upper(tag);
  const std::string& u = upper_tag_;
  if (u.empty())
    kind_ = TagKind::Skip;
  else if (u == "VERSION")
    kind_ = TagKind::Version;
  else if (u == "LANGUAGE")
    kind_ = TagKind::Language;
  else if (u == "FONT")
    kind_ = TagKind::Font;
  else if (u == "CREDITS")
    kind_ = TagKind::Credits;
  else if (u == "SPEAKERS" || u == "ITEMS" || u == "MENUS" || u == "LABELS")
    kind_ = TagKind::Table;
  else
    kind_ = TagKind::Content;
}

void TxtReader::clear_tag() {
  tag_.clear();
  upper_tag_.clear();
  kind_ = TagKind::Skip;
}

void TxtReader::handle_tag(std::string_view line) {
  // Any tag line ends the block before it.
  close_block();
  const std::string_view name = tag_name(line);
  if (section_index_ > 8 && py_upper(name).find("JSON") == std::string::npos) {
    // A choice marker. Inside a skipped section it is skipped with the rest.
    if (tag_.empty()) return;
    choice_ = true;
    choice_section_ = section(tag_);
    Section& s = sections_[choice_section_];
    choice_entry_ = s.entries.size();
    s.entries.push_back(section_entry(std::string(kChoices), {}));
    return;
  }
  const auto known = std::find(SECTIONS.begin(), SECTIONS.end(), name);
  if (known == SECTIONS.end()) {
    clear_tag();
    info("Section tag not recognized " + std::string(line) + " at line (" +
         std::to_string(line_no_) + "). Skipping...");
    return;
  }
  counter_ = 0;
  set_tag(name);
  section_index_ = known - SECTIONS.begin();
  // A dialogue section exists from its tag on, even when no entry follows.
  if (section_index_ > 8 && upper_tag_ != "DESCRIPTIONS") {
    current_section_ = section(tag_);
  }
}

bool TxtReader::handle_font(std::string_view line) {
  const std::string_view value = colon_value(line);
  if (counter_ == 1) {
    fnt_face_ = value;
    return true;
  }
  const std::optional<long long> size = py_int(value);
  if (!size) return false;
  fnt_size_ = *size;
  clear_tag();
  return true;
}

bool TxtReader::handle_credit(std::string_view line) {
  if (counter_ > 3) return false;
  lng_info_[counter_ - 1] = colon_value(line);
  if (counter_ >= 3) clear_tag();
  return true;
}

void TxtReader::handle_table(std::string_view line) {
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return;
  const std::string key(trim_left(py_strip_view(line.substr(0, colon)), '#'));
  const std::string_view shown = drop_one_space(line.substr(colon + 1));
  const Value value(shown);
  Map* field = upper_tag_ == "SPEAKERS" ? &actr_lut_
               : upper_tag_ == "ITEMS"  ? &item_lut_
               : upper_tag_ == "MENUS"  ? &sys_menu_
                                        : &sys_lbls_;
  // A nameless speaker cannot be found by its name; blocks never refer to it.
  if (field == &actr_lut_ && !shown.empty()) speakers_[std::string(shown)] = key;
  meta_.replace(key, line_no_, value);
  field->set(key, value);
}

std::string TxtReader::speaker_id(std::string_view shown) const {
  // Every trailing ")" goes, as before; a name that itself ends in ")" is found with one
  // ")" less.
  for (std::string_view name : {trim_right(shown, ')'), shown.substr(0, shown.size() - 1)}) {
    const auto it = speakers_.find(std::string(name));
    if (it != speakers_.end()) return it->second;
  }
  return {};
}

bool TxtReader::handle_header(std::string_view line) {
  close_block();
  const std::size_t colon = line.find(':');
  const std::size_t paren = line.find('(');
  // Inside a choice block a line is an option when its first ":" comes before any "(".
  const bool dialogue_header = paren != std::string_view::npos &&
                               (!choice_ || colon == std::string_view::npos || paren < colon);
  const std::size_t divider = dialogue_header ? paren : colon;
  if (dialogue_header) choice_ = false;
  if (divider == std::string_view::npos) return false;

  const std::string key(trim_left(py_strip_view(line.substr(0, divider)), '#'));
  const std::string_view value = line.substr(divider + 1);

  if (choice_) {
    const Value text(drop_one_space(value));
    sections_[choice_section_].entries[choice_entry_]["text"].as_list().push_back(Value(key));
    meta_.add(key, line_no_, text);
    text_lut_[key] = list_value(text);
    return true;
  }
  if (upper_tag_ != "DESCRIPTIONS")
    sections_[current_section_].entries.push_back(
        section_entry(speaker_id(value), List{Value(key)}));
  // The block's lines replace this entry when it closes.
  Value& lines = text_lut_[key];
  lines = Value();
  block_open_ = true;
  block_line_ = line_no_;
  block_key_ = key;
  block_text_ = &lines;
  return true;
}

bool TxtReader::handle_content(std::string_view line) {
  if (choice_) return false;
  std::string_view text = trim_left(line, ':');
  if (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  // Lines outside any block belong to no content id.
  if (block_open_) block_lines_.push_back(Value(text));
  return true;
}

DialogueRead TxtReader::read(std::string_view text) {
  if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
  if (py_is_blank(text)) return fail("Nothing to parse");
  const std::size_t ids = count_id_lines(text);
  text_lut_.reserve(ids);
  meta_.reserve(ids);

  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    start = end + 1;

    ++counter_;
    ++line_no_;
    if (py_is_blank(line)) continue;
    if (line.front() == '[') {
      handle_tag(line);
      continue;
    }
    switch (kind_) {
      case TagKind::Skip:
        break;
      case TagKind::Version:
        ver_hash_ = line;
        clear_tag();
        break;
      case TagKind::Language:
        lng_name_ = line;
        clear_tag();
        break;
      case TagKind::Font:
        if (!handle_font(line)) return fail("Font size is not a number: " + std::string(line));
        break;
      case TagKind::Credits:
        if (!handle_credit(line)) return fail("Credit line out of place: " + std::string(line));
        break;
      case TagKind::Table:
        handle_table(line);
        break;
      case TagKind::Content:
        if (line.front() == '#' && !handle_header(line))
          return fail("Unable to split: " + std::string(line));
        if (line.front() == ':' && !handle_content(line))
          return fail("Parsing dialogue as choice: " + std::string(line));
        break;
    }
  }
  close_block();
  return result();
}

DialogueRead TxtReader::result() {
  Value rec = data_new();
  rec["ver_hash"] = Value(std::move(ver_hash_));
  rec["lng_name"] = Value(std::move(lng_name_));
  rec["lng_info"] = Value(List{Value(std::move(lng_info_[0])), Value(std::move(lng_info_[1])),
                               Value(std::move(lng_info_[2]))});
  rec["fnt_face"] = Value(std::move(fnt_face_));
  rec["fnt_size"] = Value(fnt_size_);
  rec["sys_lbls"] = Value(std::move(sys_lbls_));
  rec["sys_menu"] = Value(std::move(sys_menu_));
  rec["actr_lut"] = Value(std::move(actr_lut_));
  rec["item_lut"] = Value(std::move(item_lut_));
  rec["text_lut"] = Value(std::move(text_lut_));
  Map sections;
  sections.reserve(sections_.size());
  for (Section& s : sections_) sections.set(std::move(s.key), Value(std::move(s.entries)));
  rec["sections"] = Value(std::move(sections));
  return {std::move(rec), std::move(meta_)};
}

}  // namespace

Map sort_values(const Map& p_dat) {
  struct Keyed {
    std::size_t length;
    std::string form;
    const Map::Entry* entry;
  };
  std::vector<Keyed> order;
  order.reserve(p_dat.size());
  for (const auto& entry : p_dat) {
    std::string form = text_form(entry.value);
    const std::size_t length = code_point_count(form);
    order.push_back({length, std::move(form), &entry});
  }
  std::stable_sort(order.begin(), order.end(), [](const Keyed& a, const Keyed& b) {
    if (a.length != b.length) return a.length < b.length;
    return a.form < b.form;
  });
  Map out;
  out.reserve(order.size());
  for (const Keyed& k : order) out.set(k.entry->key(), k.entry->value);
  return out;
}

std::string dat_2_txt(const Value& p_dat, Window* p_app, IdPlaces* p_places) {
  constexpr std::string_view kInvalid = "Invalid data to create TXT.";
  if (!data_is_valid(p_dat)) return error(kInvalid, std::string(), p_app);
  try {
    return write_txt(p_dat, p_places);
  } catch (const DataError&) {
    // A record whose tables are not shaped as a record's.
    return error(kInvalid, std::string(), p_app);
  }
}

DialogueRead txt_2_dat(std::string_view p_text, Window* p_app) {
  return TxtReader(p_app).read(p_text);
}

}  // namespace verbix
