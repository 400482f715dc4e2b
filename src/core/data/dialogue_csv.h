// The spreadsheet form of a language record, dialogue.csv: one text per row beside its
// English text, with a "Translation" cell for the translator. Reading and writing the file
// itself is csv_load / csv_save (utils/file_helpers.h); this converts rows in memory.
//
// Layout, as dat_2_csv writes it: each header row, then its data rows, then an empty row.
//
//   Version                                   ver_hash
//   Language, Font File, Font Size            lng_name, fnt_face, fnt_size
//   Credit 1, Credit 2, Credit 3              the three credit lines
//   Labels, English, Translation              per label: key, English, translation
//   Menus, Translation                        per menu entry: key, translation (the
//                                             English text when there is none)
//   Speakers, English, Translation            per speaker, sorted: id, English, translation
//   Items, English, Translation               per item, sorted: id, English, translation
//   Descriptions, Item, English, Translation  per item and English line: item id, item
//                                             name, line, translation (no empty row after)
//   per section: two empty rows, "Section", key; "ID", "Source", "English", "Translation";
//     a dialogue block: per English line: content id, speaker name ("Narrator" when it
//     has none), line, translation; a choice block: per option n: content id,
//     "CHOICE(n)", option text, translation.
//
// A block starts at a row whose first cell, upper-cased, is a key of CSV_BLOCKS; empty rows
// and rows with an empty first cell are skipped and do not end a block. Blank translation
// cells fall back to the English cell (menus to their key).
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "data/dialogue_result.h"
#include "data/id_places.h"
#include "data/value.h"
#include "utils/csv_dialect.h"
#include "utils/reporting.h"

namespace verbix {

// Block key (a header row's first cell, upper-cased) -> the least number of cells a data
// row of that block must have, in the order the format has always listed them.
inline constexpr std::array<std::pair<std::string_view, std::size_t>, 9> CSV_BLOCKS = {{
    {"MENUS", 2},
    {"ITEMS", 3},
    {"LABELS", 3},
    {"VERSION", 1},
    {"SECTION", 4},
    {"CREDIT 1", 3},
    {"SPEAKERS", 3},
    {"LANGUAGE", 3},
    {"DESCRIPTIONS", 4},
}};

// The least cell count of a block key, or nothing when `p_key` is not one.
std::optional<std::size_t> csv_block_cells(std::string_view p_key);

// Whether the row is the column-title row of a section (ID, Source, English, Translation):
// its cells, each trimmed and upper-cased, concatenate to IDSOURCEENGLISHTRANSLATION, so
// letter case, blanks around cells, trailing empty cells and the split into cells do not
// matter.
bool is_section_header(const CsvRow& p_cols);

// Whether a row whose first cell upper-cases to `p_next` starts a new block. Every key of
// CSV_BLOCKS does, except that "LANGUAGE" and "ITEMS" need a row of at least three cells
// that looks like their header (cell 2 "Font File" / "English", cell 3 "Font Size" /
// "Translation", or any non-blank cell 3), so that a language or item named like a block
// stays data. `p_prev`, the current block key, is not used.
bool new_block(std::string_view p_next, std::string_view p_prev, const CsvRow& p_row);

// The rows of the layout above for the English record `p_eng`, with the Translation cells
// (and the version, language, font and credits) from the translation record `p_lng` when it
// is not empty. An invalid record is reported through `info` and gives no rows. With
// `p_places`, the row of each id asked for there, as csv_2_dat records it in DialogueMeta,
// is filled in.
CsvTable dat_2_csv(const Value& p_eng, const Value& p_lng = Value::map(), Window* p_app = nullptr,
                   IdPlaces* p_places = nullptr);

// The record and DialogueMeta ("format" -> "CSV", then each key or content id -> list of
// [row number, text]; rows counted from 1, empty ones included) of the rows. A row the
// reader cannot place is reported through `error` with its row description, and the result
// is the failure pair; without a window that ends the process.
//
// Consecutive rows with one id are one block of lines. A choice row is a section row whose
// Source, trimmed and upper-cased, reads CHOICE(n): CHOICE(1), or any option row while no
// choice block is open in the section, opens a choice block. A Speakers row may leave the
// English name blank (a speaker the game shows without a name); the language and credits
// rows are read even when their first cell is empty. Faults, besides the short row and the
// blank id, name or speaker cells: a data row outside any block, a "Section" row without a
// key, and a font size that is not an integer.
DialogueRead csv_2_dat(const CsvTable& p_csv, Window* p_app = nullptr);

// csv_2_dat of the rows of a CSV text with separator `p_sep`, read one at a time (the table
// is never held whole), each first given to `p_edit` when there is one. Throws DataError as
// csv_parse does for a text that does not parse.
DialogueRead csv_2_dat(std::string_view p_text, char p_sep, Window* p_app = nullptr,
                       const CsvRowSink& p_edit = {});

// How messages name a row: its number, " - ", and its cells as Python shows a list of
// texts ("12 - ['a', 'b']").
std::string csv_row_description(std::size_t p_num, const CsvRow& p_row);

}  // namespace verbix
