// The build checks of a translation: what would break the game although the file format is
// sound. A project's record is checked against the game's English record, text by text:
//   "placeholders" (error)  the translation's placeholders differ from the English ones;
//   "glyphs"       (error)  a character the project's embedded font has no glyph for;
//   "spreadsheet"  (error)  a spreadsheet's error value ("#NAME?") in place of a text;
//                  (warning) the English as a spreadsheet would show it ("007" -> "7");
//   "whitespace"   (warning) leading or trailing white space differs from the English;
//   "menu-key"     (warning) a menu entry translated as its own key;
//   "empty"        (warning) a blank translation of a text that is not blank.
// A text equal to its English is untranslated and no problem. Build and `verbix-cli lint`
// call `lint_translation`; `checks/lint_report.h` turns its result into lines and JSON.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "data/dialogue_meta.h"
#include "data/value.h"

namespace verbix {

enum class Severity { Error, Warning };

// One problem found, with the place of the text it concerns.
struct Problem {
  std::string check;  // "placeholders", "glyphs", "spreadsheet", "whitespace", "menu-key", "empty"
  Severity severity = Severity::Error;
  std::string table;  // "sys_lbls", "sys_menu", "actr_lut", "item_lut", "text_lut", "lng_info";
                      // empty for a problem of the font itself
  std::string id;     // the key in the table (the index of a credit line)
  std::optional<long long> position;  // line (TXT) or row (CSV) in the dialogue file
  std::string message;
  std::string character;  // "glyphs": the character without a glyph
};

struct LintReport {
  std::vector<Problem> problems;  // the texts' in table and map order, then the glyphs'
                                  // by code point
  std::size_t errors = 0;
  std::size_t warnings = 0;
  std::string place_word = "line";  // "row" for a CSV project
};

// Checks the project's record `p_project` (with its DialogueMeta `p_meta`, which gives the
// positions) against the game's record `p_game`. Never fails: texts of unexpected kinds are
// skipped, and a font that cannot be read is one "glyphs" warning, "glyphs: cannot read the
// font's character map: " and the reason.
LintReport lint_translation(const Value& p_project, const DialogueMeta& p_meta,
                            const Value& p_game);

}  // namespace verbix
