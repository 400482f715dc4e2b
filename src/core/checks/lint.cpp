#include "checks/lint.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <map>
#include <string_view>
#include <thread>
#include <utility>

#include "checks/font_cmap.h"
#include "checks/text_patterns.h"
#include "text/py_text.h"

namespace verbix {
namespace {

// Where a text stands: its table, its id, its line or row.
struct Place {
  std::string_view table;
  const std::string* id;
  size_t index;  // of the line in the id's list of lines
};

std::string quoted(std::string_view p_text) {
  std::string out(1, '"');
  out += p_text;
  out += '"';
  return out;
}

// The code point that ends at `p_end` of valid UTF-8, and moves `p_end` to its start.
char32_t previous_code_point(std::string_view p_text, size_t& p_end) {
  size_t start = p_end - 1;
  while (start > 0 && (static_cast<unsigned char>(p_text[start]) & 0xC0) == 0x80) --start;
  size_t pos = start;
  const char32_t c = next_code_point(p_text, pos);
  p_end = start;
  return c;
}

// The leading and the trailing white space of a text (all of a blank text is leading).
// Reads only the ends: every text of the project passes here.
std::pair<std::string_view, std::string_view> blank_ends(std::string_view p_text) {
  size_t lead = 0;
  for (size_t pos = 0; pos < p_text.size() && is_py_space(next_code_point(p_text, pos));)
    lead = pos;
  if (lead == p_text.size()) return {p_text, {}};
  size_t trail = p_text.size();
  for (size_t pos = trail; pos > lead && is_py_space(previous_code_point(p_text, pos));)
    trail = pos;
  return {p_text.substr(0, lead), p_text.substr(trail)};
}

bool is_blank(std::string_view p_text) { return blank_ends(p_text).first.size() == p_text.size(); }

// "a, b" of the placeholders in `p_of` that `p_less` lacks (both sorted).
std::string missing_from(const std::vector<std::string>& p_of,
                         const std::vector<std::string>& p_less) {
  std::string out;
  auto less = p_less.begin();
  for (const std::string& p : p_of) {
    while (less != p_less.end() && *less < p) ++less;
    if (less != p_less.end() && *less == p) {
      ++less;
      continue;
    }
    out += (out.empty() ? "" : ", ") + p;
  }
  return out;
}

bool is_exempt(char32_t c) { return c < 0x20 || (c >= 0x7F && c < 0xA0) || is_py_space(c); }

// The font's character map as the glyph check asks it, millions of times on a large game: a
// bitmap of the first plane. Shared read-only by the checking threads.
struct FontGlyphs {
  explicit FontGlyphs(CharMap p_map) : map(std::move(p_map)), plane0(0x10000) {
    for (const CodeRange& r : map.ranges())
      for (char32_t c = r.first; c <= r.last && c < 0x10000; ++c) plane0[c] = true;
    for (char32_t c = 0; c < 0x80; ++c) ascii_fine[c] = plane0[c] || is_exempt(c);
  }
  // Whether the character shows: it has a glyph, or it needs none.
  bool fine(char32_t c) const {
    if (c < 0x80) return ascii_fine[c];
    return (c < 0x10000 ? plane0[c] : map.has(c)) || is_exempt(c);
  }

  CharMap map;
  std::vector<bool> plane0;
  bool ascii_fine[0x80] = {};
};

// A character without a glyph: its first use and how many texts use it.
struct Missing {
  Problem first;
  size_t texts = 0;
};

// Checks the texts of one slice of a table and keeps what it finds; several run side by side
// on the slices of a large table.
class TextChecker {
 public:
  TextChecker(const DialogueMeta& p_meta, const FontGlyphs* p_font)
      : meta_(p_meta), font_(p_font) {}

  // Checks the entries [p_from, p_to) of the project's table `p_table` (a map of texts or
  // lists of lines, or the list of credit lines) against the game's.
  void walk(std::string_view p_table, const Value& p_mine, const Value* p_english, size_t p_from,
            size_t p_to) {
    if (p_mine.is_list()) {  // the credit lines
      const List& lines = p_mine.as_list();
      for (size_t i = p_from; i < lines.size() && i < p_to; ++i) {
        const std::string id = std::to_string(i);
        const Value* eng = p_english && p_english->is_list() && i < p_english->size()
                               ? &p_english->as_list()[i]
                               : nullptr;
        check_value(Place{p_table, &id, 0}, lines[i], eng, 0);
      }
      return;
    }
    if (!p_mine.is_map()) return;
    size_t i = 0;
    for (const auto& [id, value] : p_mine.as_map()) {
      if (i >= p_to) break;
      if (i++ < p_from) continue;
      check_value(Place{p_table, &id, 0}, value, p_english ? p_english->find(id) : nullptr, 0);
    }
  }

  std::vector<Problem> problems;
  std::map<char32_t, Missing> missing;

 private:
  // The line or row of the place's text, else of its id's first text; looked up only for a
  // problem found. Credit lines have none.
  std::optional<long long> position(const Place& p_place) const {
    if (p_place.table == "lng_info") return std::nullopt;
    const DialogueMeta::Place* place = meta_.nth(*p_place.id, p_place.index);
    if (!place) return std::nullopt;
    return place->at;
  }

  // A text, or a list of lines: line by line when the English has as many lines, else as
  // one text of the lines joined by line feeds.
  void check_value(Place p_place, const Value& p_mine, const Value* p_english, size_t p_index) {
    if (p_mine.is_text()) {
      p_place.index = p_index;
      const bool has_english = p_english && p_english->is_text();
      const std::string english = has_english ? std::string(p_english->as_text()) : std::string();
      check_text(p_place, std::string(p_mine.as_text()), has_english ? &english : nullptr);
      return;
    }
    if (!p_mine.is_list()) return;
    const List& lines = p_mine.as_list();
    if (p_english && p_english->is_list() && p_english->size() == lines.size()) {
      for (size_t i = 0; i < lines.size(); ++i)
        check_value(p_place, lines[i], &p_english->as_list()[i], i);
      return;
    }
    const Value joined(join(lines));
    const Value english =
        p_english && p_english->is_list() ? Value(join(p_english->as_list())) : Value();
    check_value(p_place, joined, p_english ? &english : nullptr, 0);
  }

  static std::string join(const List& p_lines) {
    std::string out;
    for (size_t i = 0; i < p_lines.size(); ++i)
      if (p_lines[i].is_text()) {
        if (i) out += '\n';
        out += p_lines[i].as_text();
      }
    return out;
  }

  Problem at(const Place& p_place, std::string_view p_check, Severity p_severity) {
    Problem p;
    p.check = p_check;
    p.severity = p_severity;
    p.table = p_place.table;
    p.id = *p_place.id;
    p.position = position(p_place);
    return p;
  }

  void add(const Place& p_place, std::string_view p_check, Severity p_severity,
           std::string p_message) {
    Problem p = at(p_place, p_check, p_severity);
    p.message = std::move(p_message);
    problems.push_back(std::move(p));
  }

  void check_text(const Place& p_place, const std::string& p_mine, const std::string* p_english) {
    if (p_english && p_mine == *p_english) return;  // untranslated
    if (font_) check_glyphs(p_place, p_mine);
    if (!p_english) return;
    const std::string& eng = *p_english;
    if (is_spreadsheet_error(p_mine))
      return add(p_place, "spreadsheet", Severity::Error,
                 "the translation is the spreadsheet error " + quoted(p_mine));
    if (std::optional<std::string> shown = spreadsheet_reading(eng); shown && *shown == p_mine)
      return add(p_place, "spreadsheet", Severity::Warning,
                 "a spreadsheet turned the English " + quoted(eng) + " into " + quoted(p_mine));
    const bool blank = is_blank(p_mine), eng_blank = is_blank(eng);
    if (blank && !eng_blank)
      return add(p_place, "empty", Severity::Warning, "the translation is blank");
    if (p_place.table == "sys_menu" && p_mine == *p_place.id && eng != *p_place.id)
      add(p_place, "menu-key", Severity::Warning, "the translation is the menu key itself");
    check_placeholders(p_place, p_mine, eng);
    if (!(blank && eng_blank)) check_blanks(p_place, p_mine, eng);
  }

  void check_placeholders(const Place& p_place, const std::string& p_mine,
                          const std::string& p_english) {
    const std::vector<std::string> want = find_placeholders(p_english);
    const std::vector<std::string> have = find_placeholders(p_mine);
    if (want == have) return;
    const std::string lost = missing_from(want, have), extra = missing_from(have, want);
    std::string message = "placeholders differ from the English:";
    if (!lost.empty()) message += " missing " + lost;
    if (!extra.empty()) message += std::string(lost.empty() ? "" : ";") + " extra " + extra;
    add(p_place, "placeholders", Severity::Error, message);
  }

  void check_blanks(const Place& p_place, const std::string& p_mine, const std::string& p_english) {
    const auto [eng_lead, eng_trail] = blank_ends(p_english);
    const auto [lead, trail] = blank_ends(p_mine);
    if (eng_lead != lead)
      add(p_place, "whitespace", Severity::Warning,
          "leading white space differs from the English: " + quoted(lead) + " for " +
              quoted(eng_lead));
    if (eng_trail != trail)
      add(p_place, "whitespace", Severity::Warning,
          "trailing white space differs from the English: " + quoted(trail) + " for " +
              quoted(eng_trail));
  }

  void check_glyphs(const Place& p_place, std::string_view p_text) {
    std::vector<char32_t> seen;  // each missing character counted once per text
    for (size_t pos = 0; pos < p_text.size();) {
      const auto byte = static_cast<unsigned char>(p_text[pos]);
      char32_t c = byte;
      if (byte < 0x80)
        ++pos;
      else if ((c = next_code_point(p_text, pos)) > 0x10FFFF)
        c = 0xFFFD;
      if (font_->fine(c)) continue;
      if (std::find(seen.begin(), seen.end(), c) != seen.end()) continue;
      seen.push_back(c);
      Missing& m = missing[c];
      if (m.texts++ == 0) {
        m.first = at(p_place, "glyphs", Severity::Error);
        append_utf8(m.first.character, c);
      }
    }
  }

  const DialogueMeta& meta_;
  const FontGlyphs* font_;
};

// The font's glyphs; nothing when the project embeds no font, or when its character map
// cannot be read (then the one warning goes to `p_problems`).
std::optional<FontGlyphs> read_font(const Value& p_project, std::vector<Problem>& p_problems) {
  const Value* font = p_project.find("fnt_data");
  if (!font || !font->is_bytes() || font->as_bytes().empty()) return std::nullopt;
  CharMapRead read = read_char_map(font->as_bytes());
  if (read.ok()) return FontGlyphs(std::move(read.map));
  Problem p;
  p.check = "glyphs";
  p.severity = Severity::Warning;
  p.message = "glyphs: cannot read the font's character map: " + read.error;
  p_problems.push_back(std::move(p));
  return std::nullopt;
}

// One problem per character without a glyph, by code point, at its first use.
void add_glyph_problems(std::map<char32_t, Missing>& p_missing, std::vector<Problem>& p_out) {
  for (auto& [c, m] : p_missing) {
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
    m.first.message = std::string(code) + " " + quoted(m.first.character) +
                      " has no glyph in the font; used in " + std::to_string(m.texts) +
                      (m.texts == 1 ? " text" : " texts");
    p_out.push_back(std::move(m.first));
  }
}

// How many slices the content table is checked in: one per core up to four, for tables large
// enough that a thread pays (reading the texts is bound by memory, which a second core
// doubles).
size_t slice_count(size_t p_entries) {
  constexpr size_t kSliceMin = 20'000;
  const size_t cores = std::max(1u, std::thread::hardware_concurrency());
  return std::clamp<size_t>(p_entries / kSliceMin, 1, std::min<size_t>(cores, 4));
}

}  // namespace

LintReport lint_translation(const Value& p_project, const DialogueMeta& p_meta,
                            const Value& p_game) {
  LintReport report;
  if (p_meta.format() == "CSV") report.place_word = "row";
  const std::optional<FontGlyphs> font = read_font(p_project, report.problems);
  const FontGlyphs* glyphs = font ? &*font : nullptr;

  // The small tables, then the content table in slices side by side, then the credits: each
  // checker's problems follow the previous one's, so the order is the tables' and the file's.
  const Value* content = p_project.find("text_lut");
  const size_t entries = content && content->is_map() ? content->size() : 0;
  const size_t slices = slice_count(entries);
  std::vector<TextChecker> checkers(slices + 2, TextChecker(p_meta, glyphs));
  for (std::string_view table : {"sys_lbls", "sys_menu", "actr_lut", "item_lut"})
    if (const Value* mine = p_project.find(table))
      checkers.front().walk(table, *mine, p_game.find(table), 0, SIZE_MAX);
  auto check_slice = [&](size_t k) {
    checkers[k + 1].walk("text_lut", *content, p_game.find("text_lut"), entries * k / slices,
                         entries * (k + 1) / slices);
  };
  if (content) {
    std::vector<std::thread> threads;
    std::vector<std::exception_ptr> failures(slices);
    for (size_t k = 1; k < slices; ++k)
      threads.emplace_back([&, k] {
        try {
          check_slice(k);
        } catch (...) {
          failures[k] = std::current_exception();
        }
      });
    check_slice(0);
    for (std::thread& t : threads) t.join();
    for (const std::exception_ptr& failure : failures)
      if (failure) std::rethrow_exception(failure);
  }
  if (const Value* credits = p_project.find("lng_info"))
    checkers.back().walk("lng_info", *credits, p_game.find("lng_info"), 0, SIZE_MAX);

  std::map<char32_t, Missing> missing;
  for (TextChecker& checker : checkers) {
    report.problems.insert(report.problems.end(), std::make_move_iterator(checker.problems.begin()),
                           std::make_move_iterator(checker.problems.end()));
    for (auto& [c, m] : checker.missing) {
      auto [it, fresh] = missing.try_emplace(c, std::move(m));
      if (!fresh) it->second.texts += m.texts;
    }
  }
  add_glyph_problems(missing, report.problems);
  for (const Problem& p : report.problems)
    ++(p.severity == Severity::Error ? report.errors : report.warnings);
  return report;
}

}  // namespace verbix
