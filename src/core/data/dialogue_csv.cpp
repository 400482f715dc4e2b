#include "data/dialogue_csv.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "data/dialogue_txt.h"
#include "data/language_data.h"
#include "text/py_text.h"
#include "text/text_form.h"
#include "text/text_repr.h"

namespace verbix {

namespace {

constexpr std::string_view kChoices = "[CHOICES]";
constexpr std::string_view kNarrator = "Narrator";
constexpr std::string_view kMissing = "*MISSING*";
constexpr std::size_t kLongestKey = [] {
  std::size_t n = 0;
  for (const auto& block : CSV_BLOCKS) n = std::max(n, block.first.size());
  return n;
}();

// ---------------------------------------------------------------------------------------
// Reading the records: the record's own keys are there (the record is valid), but the
// contents of its maps are taken on trust, so every lookup tolerates a value of the wrong
// kind and falls back as for a missing one.

const Map* map_of(const Value* v) { return v && v->is_map() ? &v->as_map() : nullptr; }
const List* list_of(const Value* v) { return v && v->is_list() ? &v->as_list() : nullptr; }

const Value* lookup(const Value& rec, std::string_view table, std::string_view key) {
  const Map* m = map_of(rec.find(table));
  return m ? m->find(key) : nullptr;
}

// A value as a cell: its text form, none as the empty cell (as the CSV writer has it).
std::string cell(const Value* v) {
  if (!v || v->is_none()) return {};
  return text_form(*v);
}

// A table of the record in the order of sort_values (the empty map when it is not a map).
Map sorted_table(const Value& rec, std::string_view table) {
  const Map* m = map_of(rec.find(table));
  return m ? sort_values(*m) : Map();
}

// ---------------------------------------------------------------------------------------
// Reading rows

// The n of a choice row's source cell, which reads "CHOICE(n)" once trimmed and
// upper-cased; nothing for any other source (a speaker called "Choice Maker" included).
std::optional<std::size_t> choice_number(std::string_view source) {
  // Most sources are names: unless the last character before trailing ASCII white space
  // is ")" or beyond ASCII (a Unicode blank, say), the source cannot read CHOICE(n).
  const auto last = source.find_last_not_of(" \t\n\v\f\r\x1c\x1d\x1e\x1f");
  if (last == std::string_view::npos) return {};
  if (source[last] != ')' && static_cast<unsigned char>(source[last]) < 0x80) return {};
  const std::string s = py_upper(py_strip(source));
  constexpr std::string_view head = "CHOICE(";
  if (s.size() < head.size() + 2 || !s.starts_with(head) || s.back() != ')') return {};
  std::size_t n = 0;
  for (std::size_t i = head.size(); i + 1 < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9' || n > 1'000'000'000) return {};
    n = n * 10 + static_cast<std::size_t>(s[i] - '0');
  }
  return n;
}

// The block key that a first cell names (the cell upper-cased, when that is a key of
// CSV_BLOCKS), or nothing. ASCII cells, nearly all of them, are upper-cased in place.
std::optional<std::string> block_key(std::string_view first) {
  std::string key;
  bool ascii = true;
  for (const char c : first) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii) {
    if (first.size() > kLongestKey) return {};
    key.assign(first);
    for (char& c : key)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  } else {
    key = py_upper(first);
  }
  if (!csv_block_cells(key)) return {};
  return key;
}

// A dialogue section's entry {"name": name, "text": ids}.
Value section_entry(Value name, Value ids) {
  Map entry;
  entry.reserve(2);
  entry.set("name", std::move(name));
  entry.set("text", std::move(ids));
  return Value(std::move(entry));
}

// A row of the given cells, moved in.
template <class... Cells>
CsvRow row(Cells&&... cells) {
  CsvRow r;
  r.reserve(sizeof...(cells));
  (r.emplace_back(std::forward<Cells>(cells)), ...);
  return r;
}

Value joined(const List& lines) {
  // One line is shared with the block's list, not copied.
  if (lines.size() == 1 && lines.front().is_text()) return lines.front();
  std::string out;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i) out += '\n';
    if (lines[i].is_text())
      out += lines[i].as_text();
    else
      out += repr(lines[i]);
  }
  return Value(out);
}

// The reader's state. Lists that the record holds and that later rows keep filling (the
// open section, the open block's lines, a choice entry's ids) are reached through pointers
// to their payloads; a list that the record drops while a pointer may still refer to it is
// kept alive in `retired_` until the read ends.
class CsvReader {
 public:
  explicit CsvReader(Window* app)
      : app_(app),
        dat_(data_new()),
        sys_lbls_(dat_["sys_lbls"].as_map()),
        sys_menu_(dat_["sys_menu"].as_map()),
        actr_lut_(dat_["actr_lut"].as_map()),
        item_lut_(dat_["item_lut"].as_map()),
        text_lut_(dat_["text_lut"].as_map()),
        sections_(dat_["sections"].as_map()),
        seg_(&loose_.as_list()),
        txt_(&first_txt_.as_list()) {}

  DialogueRead read(const CsvTable& rows);
  // Reads one more row: the failure pair when it is faulty (read no rows after it), else
  // nothing.
  std::optional<DialogueRead> take_row(const CsvRow& row);
  // The record and DialogueMeta of the rows read.
  DialogueRead finish();

 private:
  // The failure pair, after reporting `msg` followed by the row description.
  DialogueRead fail(std::string_view msg, const CsvRow& row) {
    return error(std::string(msg) + csv_row_description(num_, row), read_failure(), app_);
  }
  // Stores `value` under `key` of `map`, keeping a replaced value alive.
  Value& put(Map& map, const std::string& key, Value value) {
    Value& slot = map[key];  // the reader never stores none, so none means a new key
    if (!slot.is_none()) retired_.push_back(std::move(slot));
    slot = std::move(value);
    return slot;
  }
  // Records the open block's pair: its first row and its lines.
  void close_block() { meta_.add(block_cid_, static_cast<long long>(block_num_), joined(*txt_)); }
  // Makes the row the only place of `key`.
  void meta_pair(const std::string& key, const Value& text) {
    meta_.replace(key, static_cast<long long>(num_), text);
  }
  // A row of a dialogue section or of the descriptions; the failure pair when it is faulty.
  std::optional<DialogueRead> dialogue_row(const CsvRow& row);

  Window* app_;
  Value dat_;
  DialogueMeta meta_{"CSV"};
  Map& sys_lbls_;
  Map& sys_menu_;
  Map& actr_lut_;
  Map& item_lut_;
  Map& text_lut_;
  Map& sections_;
  Value loose_ = Value::list();  // entries read before any "Section" row go here
  Value first_txt_ = Value::list();
  std::vector<Value> retired_;

  std::size_t num_ = 0;
  std::string blk_;
  List* seg_;
  List* txt_;
  const List* choice_seg_ = nullptr;  // the section of the open choice block
  bool nxt_ = false;
  bool opt_ = false;
  bool held_blank_ = false;  // the open description's first row had empty texts
  std::size_t block_num_ = 0;
  std::string block_cid_;
  std::unordered_map<std::string, std::string> spkr2cuid_;
};

std::optional<DialogueRead> CsvReader::dialogue_row(const CsvRow& row) {
  if (nxt_) {
    // Rows between a "Section" row and its column titles are not part of the section.
    if (is_section_header(row)) nxt_ = false;
    return {};
  }
  const std::string& cuid = row[0];
  const std::string& source = row[1];
  if (py_is_blank(cuid)) return fail("CSV [SECTION] no ID column data: ", row);
  if (py_is_blank(source)) return fail("CSV [SECTION] no Speaker column data: ", row);
  const std::string& text = py_is_blank(row[3]) ? row[2] : row[3];

  if (blk_ == "SECTION") {
    if (const auto n = choice_number(source)) {
      // CHOICE(1) opens a choice block; so does any other option row while none is open in
      // this section, rather than putting the option's id among a dialogue block's lines or
      // into another section's choices.
      if (*n == 1 || !opt_ || choice_seg_ != seg_) {
        if (!txt_->empty() && !opt_) close_block();
        seg_->push_back(section_entry(Value(kChoices), Value::list()));
        txt_ = &seg_->back()["text"].as_list();
        choice_seg_ = seg_;
      }
      opt_ = true;
      txt_->push_back(Value(cuid));
      const Value shared(text);
      put(text_lut_, cuid, list_value(shared));
      meta_pair(cuid, shared);
      return {};
    }
  }

  // A dialogue row after a choice block always starts a new block, even under the id of
  // the block before the choices: its lines must not land among the option ids.
  if (cuid != block_cid_ || opt_) {
    if (!opt_) close_block();
    txt_ = &put(text_lut_, cuid, Value::list()).as_list();
    const auto speaker = spkr2cuid_.find(source);
    seg_->push_back(section_entry(speaker == spkr2cuid_.end() ? Value("") : Value(speaker->second),
                                  list_value(Value(cuid))));
    block_num_ = num_;
    block_cid_ = cuid;
    held_blank_ = false;
    // A description whose only row has empty texts is an empty description: its line is
    // held back and stored only when a further row of the same id follows.
    if (blk_ == "DESCRIPTIONS" && row[2].empty() && row[3].empty()) {
      opt_ = false;
      held_blank_ = true;
      return {};
    }
  }
  opt_ = false;
  if (held_blank_) txt_->push_back(Value(""));
  held_blank_ = false;
  txt_->push_back(Value(text));
  return {};
}

std::optional<DialogueRead> CsvReader::take_row(const CsvRow& row) {
  Map& dat = dat_.as_map();
  ++num_;
  if (row.empty()) return {};
  if (row[0].empty()) {
    // The single data row of the language and credits blocks counts even with an empty
    // first cell (a nameless language keeps its font, an empty first credit the other
    // two); elsewhere, and when every cell is empty, the row is skipped.
    if (blk_ != "CREDIT 1" && blk_ != "LANGUAGE") return {};
    bool any = false;
    for (const auto& c : row) any = any || !c.empty();
    if (!any) return {};
  } else {
    auto next = block_key(row[0]);
    if (next && new_block(*next, blk_, row)) {
      blk_ = std::move(*next);
      if (blk_ == "SECTION") {
        if (row.size() < 2 || py_is_blank(row[1]))
          return fail("CSV [SECTION] no section key: ", row);
        seg_ = &put(sections_, row[1], Value::list()).as_list();
        nxt_ = true;
      }
      return {};
    }
  }

  const auto need = csv_block_cells(blk_);
  if (!need) return fail("CSV row outside of any block: ", row);
  if (row.size() < *need)
    return error("Row expects " + std::to_string(*need) + " columns and has " +
                     std::to_string(row.size()) + " cols: " + csv_row_description(num_, row),
                 read_failure(), app_);

  if (blk_ == "VERSION") {
    blk_.clear();
    dat["ver_hash"] = Value(row[0]);
  } else if (blk_ == "LANGUAGE") {
    const auto size = py_int(row[2]);
    if (!size) return fail("CSV [LANGUAGE] Font Size is not a number: ", row);
    blk_.clear();
    dat["lng_name"] = Value(row[0]);
    dat["fnt_face"] = Value(row[1]);
    dat["fnt_size"] = Value(*size);
  } else if (blk_ == "CREDIT 1") {
    blk_.clear();
    dat["lng_info"] = Value(List{Value(row[0]), Value(row[1]), Value(row[2])});
  } else if (blk_ == "LABELS" || blk_ == "MENUS") {
    const bool labels = blk_ == "LABELS";
    const std::string& given = labels ? row[2] : row[1];
    const std::string& value = py_is_blank(given) ? (labels ? row[1] : row[0]) : given;
    const Value text(value);
    (labels ? sys_lbls_ : sys_menu_).set(row[0], text);
    meta_pair(row[0], text);
  } else if (blk_ == "ITEMS" || blk_ == "SPEAKERS") {
    const bool items = blk_ == "ITEMS";
    if (py_is_blank(row[0])) return fail("CSV [ITEMS] no ID column data: ", row);
    // A speaker without an English name is one the game shows nameless; only items need
    // the name.
    if (items && py_is_blank(row[1])) return fail("CSV [ITEMS] no English column data: ", row);
    const std::string& value = py_is_blank(row[2]) ? row[1] : row[2];
    const Value text(value);
    (items ? item_lut_ : actr_lut_).set(row[0], text);
    meta_pair(row[0], text);
    if (!items) spkr2cuid_[value] = row[0];
  } else if (auto failed = dialogue_row(row)) {
    return std::move(*failed);
  }
  return {};
}

DialogueRead CsvReader::finish() {
  if (!txt_->empty() && !opt_) close_block();
  return {std::move(dat_), std::move(meta_)};
}

DialogueRead CsvReader::read(const CsvTable& rows) {
  for (const CsvRow& r : rows)
    if (auto failed = take_row(r)) return std::move(*failed);
  return finish();
}

// ---------------------------------------------------------------------------------------
// Places of the rows written, as csv_2_dat records them: a table row's place replaces the
// id's earlier ones, a choice option's too; a block of consecutive rows of one id gets one
// place (its first row, its texts joined) when the reader would close it.

class RowPlaces {
 public:
  RowPlaces(IdPlaces* places, const CsvTable& rows) : places_(places), rows_(rows) {}

  // The row just written, a table entry: its text as read back.
  void entry(const std::string& id, const std::string& shown, const std::string& fallback) {
    if (places_ && places_->wants(id))
      places_->replace(id, rows_.size(), py_is_blank(shown) ? fallback : shown);
  }

  // The row just written in the descriptions or a section, with its id, English and
  // translation cells; `choice` for an option row, `section` the section's number.
  void line(const std::string& id, const std::string& english, const std::string& translation,
            bool description, std::optional<std::size_t> choice, std::size_t section) {
    if (!places_) return;
    const std::string& text = py_is_blank(translation) ? english : translation;
    if (choice) {
      if (*choice == 1 || !opt_ || choice_section_ != section) {
        if (!lines_.empty() && !opt_) close();
        lines_.clear();
        lines_.push_back(id);  // the open list is now the option ids: not empty
        choice_section_ = section;
      }
      opt_ = true;
      if (places_->wants(id)) places_->replace(id, rows_.size(), text);
      return;
    }
    if (id != id_ || opt_) {
      if (!opt_) close();
      id_ = id;
      row_ = rows_.size();
      lines_.clear();
      held_blank_ = false;
      if (description && english.empty() && translation.empty()) {
        opt_ = false;
        held_blank_ = true;
        return;
      }
    }
    opt_ = false;
    if (held_blank_) lines_.emplace_back();
    held_blank_ = false;
    lines_.push_back(text);
  }

  // The end of the rows.
  void finish() {
    if (places_ && !lines_.empty() && !opt_) close();
  }

 private:
  void close() {
    if (!places_->wants(id_)) return;
    std::string joined_text;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      if (i) joined_text += '\n';
      joined_text += lines_[i];
    }
    places_->add(id_, row_, std::move(joined_text));
  }

  IdPlaces* places_;
  const CsvTable& rows_;
  std::string id_;
  std::size_t row_ = 0;
  std::vector<std::string> lines_;
  bool opt_ = false;
  bool held_blank_ = false;
  std::size_t choice_section_ = 0;
};

}  // namespace

std::optional<std::size_t> csv_block_cells(std::string_view p_key) {
  for (const auto& [key, cells] : CSV_BLOCKS)
    if (key == p_key) return cells;
  return {};
}

bool is_section_header(const CsvRow& p_cols) {
  std::string joined_cells;
  for (const auto& c : p_cols) joined_cells += py_upper(py_strip(c));
  return py_upper(py_strip(joined_cells)) == "IDSOURCEENGLISHTRANSLATION";
}

bool new_block(std::string_view p_next, std::string_view /*p_prev*/, const CsvRow& p_row) {
  if (!csv_block_cells(p_next)) return false;
  const bool language = p_next == "LANGUAGE";
  if (!language && p_next != "ITEMS") return true;
  if (p_row.size() < 3) return false;
  const std::string second = py_strip(p_row[1]);
  const std::string third = py_strip(p_row[2]);
  return second == (language ? "Font File" : "English") ||
         third == (language ? "Font Size" : "Translation") || !third.empty();
}

std::string csv_row_description(std::size_t p_num, const CsvRow& p_row) {
  return std::to_string(p_num) + " - " + py_repr_list(p_row);
}

CsvTable dat_2_csv(const Value& p_eng, const Value& p_lng, Window* p_app, IdPlaces* p_places) {
  if (!data_is_valid(p_eng)) {
    info("Invalid English data, can't create CSV.", p_app);
    return {};
  }
  const bool translated = truth(p_lng);
  if (translated && !data_is_valid(p_lng)) {
    info("Invalid translation data, can't create CSV.", p_app);
    return {};
  }
  static const Value no_translation = Value::map();
  const Value& lng = translated ? p_lng : no_translation;
  const Value& head = translated ? p_lng : p_eng;

  // The translated text under `key` of a table, or the empty text.
  const auto tr = [&](std::string_view table, std::string_view key) {
    return cell(lookup(lng, table, key));
  };

  CsvTable rows;
  RowPlaces at(p_places, rows);
  if (const Map* t = map_of(p_eng.find("text_lut"))) rows.reserve(t->size() + 64);
  rows.push_back(row("Version"));
  rows.push_back(row(cell(head.find("ver_hash"))));
  rows.emplace_back();
  rows.push_back(row("Language", "Font File", "Font Size"));
  rows.push_back(
      row(cell(head.find("lng_name")), cell(head.find("fnt_face")), cell(head.find("fnt_size"))));
  rows.emplace_back();
  rows.push_back(row("Credit 1", "Credit 2", "Credit 3"));
  {
    CsvRow credits;
    const Value* info_value = head.find("lng_info");
    if (const List* l = list_of(info_value)) {
      for (const Value& v : *l) credits.push_back(cell(&v));
    } else if (info_value && !info_value->is_none()) {
      credits.push_back(cell(info_value));
    }
    rows.push_back(std::move(credits));
  }
  rows.emplace_back();

  rows.push_back(row("Labels", "English", "Translation"));
  if (const Map* m = map_of(p_eng.find("sys_lbls")))
    for (const auto& [key, value] : *m) {
      rows.push_back(row(key, cell(&value), tr("sys_lbls", key)));
      at.entry(key, rows.back()[2], rows.back()[1]);
    }
  rows.emplace_back();

  // Menus have no English column, and a blank Translation cell reads back as the internal
  // key: an untranslated entry is written with its English text, which the game then shows.
  rows.push_back(row("Menus", "Translation"));
  if (const Map* m = map_of(p_eng.find("sys_menu")))
    for (const auto& e : *m) {
      std::string text = tr("sys_menu", e.key());
      if (py_strip(text).empty()) text = cell(&e.value);
      rows.push_back(row(e.key(), std::move(text)));
      at.entry(e.key(), rows.back()[1], e.key());
    }
  rows.emplace_back();

  rows.push_back(row("Speakers", "English", "Translation"));
  const Map speakers = sorted_table(p_eng, "actr_lut");
  for (const auto& [key, value] : speakers) {
    rows.push_back(row(key, cell(&value), tr("actr_lut", key)));
    at.entry(key, rows.back()[2], rows.back()[1]);
  }
  rows.emplace_back();

  rows.push_back(row("Items", "English", "Translation"));
  const Map items = sorted_table(p_eng, "item_lut");
  for (const auto& [key, value] : items) {
    rows.push_back(row(key, cell(&value), tr("item_lut", key)));
    at.entry(key, rows.back()[2], rows.back()[1]);
  }
  rows.emplace_back();

  // The tables that every row below looks into, found once.
  const Map* eng_text = map_of(p_eng.find("text_lut"));
  const Map* eng_actr = map_of(p_eng.find("actr_lut"));
  const Map* lng_text = map_of(lng.find("text_lut"));
  const auto find_in = [](const Map* table, std::string_view key) {
    return table ? table->find(key) : nullptr;
  };
  const auto line = [](const List* lines, std::size_t i) {
    return lines && i < lines->size() ? &(*lines)[i] : nullptr;
  };

  rows.push_back(row("Descriptions", "Item", "English", "Translation"));
  for (const auto& [key, value] : items) {
    const List* lines = list_of(find_in(eng_text, key));
    if (!lines) continue;
    const List* translated_lines = list_of(find_in(lng_text, key));
    const std::string name = cell(&value);
    // An empty description still gets its row, with empty texts, so that its id comes back.
    if (lines->empty()) {
      rows.push_back(row(key, name, "", ""));
      at.line(key, "", "", true, std::nullopt, 0);
    }
    for (std::size_t i = 0; i < lines->size(); ++i) {
      rows.push_back(row(key, name, cell(&(*lines)[i]), cell(line(translated_lines, i))));
      at.line(key, rows.back()[2], rows.back()[3], true, std::nullopt, 0);
    }
  }

  const Map* sections = map_of(p_eng.find("sections"));
  if (!sections) {
    at.finish();
    return rows;
  }
  std::size_t section = 0;
  for (const auto& [key, entries] : *sections) {
    ++section;
    rows.emplace_back();
    rows.emplace_back();
    rows.push_back(row("Section", key));
    rows.push_back(row("ID", "Source", "English", "Translation"));
    const List* list = list_of(&entries);
    if (!list) continue;
    for (const Value& entry : *list) {
      const List* ids = list_of(entry.find("text"));
      if (!ids) continue;
      const std::string name = cell(entry.find("name"));
      if (name == kChoices) {
        for (std::size_t n = 0; n < ids->size(); ++n) {
          std::string id = cell(&(*ids)[n]);
          const Value* english = line(list_of(find_in(eng_text, id)), 0);
          std::string translation = cell(line(list_of(find_in(lng_text, id)), 0));
          rows.push_back(row(std::move(id), "CHOICE(" + std::to_string(n + 1) + ")",
                             english ? cell(english) : std::string(kMissing),
                             std::move(translation)));
          at.line(rows.back()[0], rows.back()[2], rows.back()[3], false, n + 1, section);
        }
        continue;
      }
      if (ids->empty()) continue;  // no content id: nothing to write
      const std::string id = cell(&(*ids)[0]);
      const List* lines = list_of(find_in(eng_text, id));
      if (!lines) continue;
      const List* translated_lines = list_of(find_in(lng_text, id));
      std::string speaker = cell(find_in(eng_actr, name));
      if (speaker.empty()) speaker = kNarrator;
      for (std::size_t i = 0; i < lines->size(); ++i) {
        rows.push_back(row(id, speaker, cell(&(*lines)[i]), cell(line(translated_lines, i))));
        at.line(id, rows.back()[2], rows.back()[3], false, choice_number(speaker), section);
      }
    }
  }
  at.finish();
  return rows;
}

DialogueRead csv_2_dat(const CsvTable& p_csv, Window* p_app) {
  return CsvReader(p_app).read(p_csv);
}

DialogueRead csv_2_dat(std::string_view p_text, char p_sep, Window* p_app,
                       const CsvRowSink& p_edit) {
  CsvReader reader(p_app);
  std::optional<DialogueRead> failed;
  csv_each_row(p_text, p_sep, [&](CsvRow& row) {
    if (p_edit) p_edit(row);
    if (!failed) failed = reader.take_row(row);
  });
  return failed ? std::move(*failed) : reader.finish();
}

}  // namespace verbix
