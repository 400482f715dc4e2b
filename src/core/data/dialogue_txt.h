// The TXT form of a record (`dialogue.txt`), the file translators edit in a text editor:
// the writer `dat_2_txt`, the reader `txt_2_dat` with the line numbers it records, and
// `sort_values`, the order of speakers and items in the file.
//
// Layout ("\n" ends every line; the reader skips blank lines):
//
//   [VERSION]                      version stamp on the next line
//   [LANGUAGE]                     language name on the next line
//   [FONT]                         "File : " face, then "Size : " size
//   [CREDITS]                      "1 : ", "2 : ", "3 : " each with one credit line
//   [LABELS]                       key " : " text            (map order)
//   [MENUS]                        key padded to the longest key, " : ", text
//   [SPEAKERS]                     "#" id " : " display name  (sort_values order)
//   [ITEMS]                        "#" id " : " item name     (sort_values order)
//   [DESCRIPTIONS]                 per item: "#" id " (" name ")", then ": " line ...
//   [<section key>]                per dialogue section, its entries in play order:
//     #<content id> (<speaker>)    a dialogue block ("Narrator" when the speaker is unknown
//     : <line>                     or nameless), one ": " line per line of content
//     [CHOICES]                    a choice block, then one "#" id " : " text per option
//
// Only tags that are elements of SECTIONS are read; once a dialogue section is current, a
// bracketed line whose name lacks "JSON" (any case) is a choice marker. The text after the
// first ":" (or "(") of a line is its value, so values may hold ":" and "(". One leading
// U+FEFF (a byte-order mark) is ignored.
#pragma once

#include <string>
#include <string_view>

#include "data/dialogue_result.h"
#include "data/value.h"
#include "utils/reporting.h"

namespace verbix {

// A new map with the entries of `p_dat`, ordered by the code-point length of each value's
// text form, then by that text (code-point order); entries with equal values keep their
// order.
Map sort_values(const Map& p_dat);

// The whole TXT text of the record, ending with a line feed. A value that is not a valid
// record (or whose tables are not shaped as a record's) is reported with
// error("Invalid data to create TXT.") and gives the empty text.
std::string dat_2_txt(const Value& p_dat, Window* p_app = nullptr);

// The record and DialogueMeta ("format" -> "TXT", then key or content id -> list of
// [line number, text] pairs) read from a whole TXT text. A blank text, a header line that
// cannot be split, a content line inside a choice block, a font size that is not a number
// or a credit line beyond the third are reported through `error` and give the failure pair.
DialogueRead txt_2_dat(std::string_view p_text, Window* p_app = nullptr);

}  // namespace verbix
