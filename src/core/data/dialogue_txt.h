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
#include "data/id_places.h"
#include "data/value.h"
#include "utils/reporting.h"

namespace verbix {

// A new map with the entries of `p_dat`, ordered by the code-point length of each value's
// text form, then by that text (code-point order); entries with equal values keep their
// order.
Map sort_values(const Map& p_dat);

// The whole TXT text of the record, ending with a line feed. Always three credit lines
// (missing ones empty, extra ones left out); no menu lines for no menus; a dialogue entry
// without a content id is left out; a choice option whose text list is empty is written
// with an empty text (one without a text_lut entry shows "N/A"). A value that is not a
// valid record (or whose tables are not shaped as a record's) is reported with
// error("Invalid data to create TXT.") and gives the empty text. With `p_places`, the line
// of each id asked for there, as txt_2_dat records it in DialogueMeta, is filled in.
std::string dat_2_txt(const Value& p_dat, Window* p_app = nullptr, IdPlaces* p_places = nullptr);

// The record and DialogueMeta read from a whole TXT text. DialogueMeta holds "format" ->
// "TXT", then for each table key [[its line, its text]], for each option [its line, its
// text] and, for each time a dialogue block or item description closes (at the next header,
// tag or marker, or at the end), [its header line, its lines joined with "\n"]. A dialogue
// section exists from its tag on, even when empty; an unknown tag is logged ("Section tag
// not recognized ...") and the lines up to the next known tag are skipped.
// Failures go through `error` and give the failure pair:
//   "Nothing to parse"                     a blank text
//   "Unable to split: " + line             a header line with neither "(" nor ":"
//   "Parsing dialogue as choice: " + line  a content line inside a choice block
//   "Font size is not a number: " + line   the size line (or the face line, shifted to it
//                                          by a blank line)
//   "Credit line out of place: " + line    a credit line after the third line of the section
DialogueRead txt_2_dat(std::string_view p_text, Window* p_app = nullptr);

}  // namespace verbix
