// The comma-separated dialect of dialogue.csv, exact to the common spreadsheet dialect:
//
//   writing: a field is quoted only when it holds a comma, a double quote, CR or LF; quotes
//            inside are doubled; every row ends in CR LF, the last included; a row of one
//            empty field is written as "" so that it reads back as one field.
//   reading: a leading byte-order mark is skipped; rows end in CR LF, LF or CR; quoted
//            fields may hold commas, doubled quotes and line breaks (kept as they stand);
//            text after a closing quote joins the field; a blank line is an empty row;
//            a quoted field still open at the end of the data is an error. Spreadsheets
//            of some locales separate with ";" or a tab: the reader takes the separator
//            of the file's first header row and otherwise reads the same way.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace verbix {

using CsvRow = std::vector<std::string>;
using CsvTable = std::vector<CsvRow>;
// Takes one row of a text being parsed; it may move the cells out.
using CsvRowSink = std::function<void(CsvRow&)>;

// The text of the rows in the dialect.
std::string csv_format(const CsvTable& rows);

// The rows of the text, cells split at `sep`. Throws DataError ("unexpected end of data") on
// an unclosed quote, and ("row N has more than 4096 cells") on a row wider than any sheet of
// the tool.
CsvTable csv_parse(std::string_view text, char sep = ',');

// Hands the rows of the text to `on_row` one at a time, as csv_parse would list them, so that
// a large file is read without holding its table; returns how many there were. Throws as
// csv_parse does, once the rows before the fault are handed on.
std::size_t csv_each_row(std::string_view text, char sep, const CsvRowSink& on_row);

// The separator of a dialogue.csv text: ',', ';' or tab, whichever the first of its header
// rows (such as "Language,Font File,Font Size") uses; ',' when no line starts like one.
char csv_separator(std::string_view text);

// The number, counted from 1, of the row of `text` that holds the byte at `offset`.
std::size_t csv_row_at(std::string_view text, std::size_t offset, char sep = ',');

}  // namespace verbix
