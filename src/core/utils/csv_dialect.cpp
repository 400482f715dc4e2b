#include "utils/csv_dialect.h"

#include "utils/data_error.h"

namespace verbix {
namespace {

// Whether a field must be quoted: it holds a comma, a double quote, CR or LF.
bool needs_quotes(std::string_view field) {
  for (const char c : field)
    if (c == ',' || c == '"' || c == '\r' || c == '\n') return true;
  return false;
}

void append_field(std::string& out, std::string_view field) {
  if (!needs_quotes(field)) {
    out += field;
    return;
  }
  out += '"';
  for (std::size_t q; (q = field.find('"')) != std::string_view::npos;) {
    out.append(field.substr(0, q + 1));
    out += '"';
    field.remove_prefix(q + 1);
  }
  out += field;
  out += '"';
}

}  // namespace

std::string csv_format(const CsvTable& rows) {
  // The unquoted size, with a little room for quotes, so that the text is built in place.
  std::size_t size = 0;
  for (const CsvRow& row : rows) {
    size += row.size() + 2;
    for (const std::string& field : row) size += field.size();
  }
  std::string out;
  out.reserve(size + size / 32 + 16);
  for (const CsvRow& row : rows) {
    if (row.size() == 1 && row[0].empty()) {
      out += "\"\"";
    } else {
      for (size_t i = 0; i < row.size(); ++i) {
        if (i) out += ',';
        append_field(out, row[i]);
      }
    }
    out += "\r\n";
  }
  return out;
}

namespace {

// The reader's states, one per position in a row (after the common dialect's reader).
enum class State { kStartRecord, kStartField, kInField, kInQuoted, kQuoteInQuoted, kEatCrnl };
constexpr int kEol = -1;  // fed after every line, as a line reader would

constexpr std::size_t kMaxCells = 4096;

class Parser {
 public:
  Parser(const CsvRowSink& on_row, char sep) : on_row_(on_row), sep_(sep) {}

  std::size_t rows() const { return rows_; }

  void feed(int c) {
    switch (state_) {
      case State::kStartRecord:
        if (c == kEol) break;
        if (c == '\n' || c == '\r') {
          state_ = State::kEatCrnl;
          break;
        }
        state_ = State::kStartField;
        [[fallthrough]];
      case State::kStartField:
        if (c == '"')
          state_ = State::kInQuoted;
        else if (c == sep_)
          save();
        else if (end_field_at_line_break(c))
          break;
        else
          add(c, State::kInField);
        break;
      case State::kInField:
        if (c == sep_) {
          save();
          state_ = State::kStartField;
        } else if (!end_field_at_line_break(c)) {
          field_ += static_cast<char>(c);
        }
        break;
      case State::kInQuoted:
        if (c == '"')
          state_ = State::kQuoteInQuoted;
        else if (c != kEol)
          field_ += static_cast<char>(c);
        break;
      case State::kQuoteInQuoted:
        if (c == '"') {
          add(c, State::kInQuoted);
        } else if (c == sep_) {
          save();
          state_ = State::kStartField;
        } else if (!end_field_at_line_break(c)) {
          add(c, State::kInField);  // text after a closing quote joins the field
        }
        break;
      case State::kEatCrnl:
        if (c == kEol) state_ = State::kStartRecord;
        break;
    }
    if (c == kEol && state_ == State::kStartRecord) {
      ++rows_;
      on_row_(fields_);
      // The next row reuses the cells' vector: rows mostly have the width of the one before.
      fields_.clear();
    }
  }

  // Adds to the field, at once, the characters from `pos` on that the current state would
  // add one by one, and returns where they end: inside a quoted field everything up to a
  // double quote (line breaks included; the end of a line changes nothing there), inside
  // an unquoted one everything up to a separator or line break.
  std::size_t take_run(std::string_view text, std::size_t pos) {
    std::size_t end = pos;
    if (state_ == State::kInQuoted) {
      end = text.find('"', pos);
      if (end == std::string_view::npos) end = text.size();
    } else if (state_ == State::kInField) {
      while (end < text.size() && text[end] != sep_ && text[end] != '\n' && text[end] != '\r')
        ++end;
    }
    field_.append(text.data() + pos, end - pos);
    return end;
  }

  bool in_quoted_field() const { return state_ == State::kInQuoted; }

 private:
  void save() {
    // Each cell costs a string of its own: a row of millions of empty cells (a file of
    // commas) would take dozens of times the file's size. No sheet of the tool is that wide.
    if (fields_.size() >= kMaxCells)
      throw DataError("row " + std::to_string(rows_ + 1) + " has more than " +
                      std::to_string(kMaxCells) + " cells");
    fields_.push_back(std::move(field_));
    field_.clear();
  }
  void add(int c, State next) {
    field_ += static_cast<char>(c);
    state_ = next;
  }
  // A line break or the end of a line closes the field and, with it, the row.
  bool end_field_at_line_break(int c) {
    if (c != '\n' && c != '\r' && c != kEol) return false;
    save();
    state_ = c == kEol ? State::kStartRecord : State::kEatCrnl;
    return true;
  }

  const CsvRowSink& on_row_;
  std::size_t rows_ = 0;
  const char sep_;
  CsvRow fields_;
  std::string field_;
  State state_ = State::kStartRecord;
};

// Feeds `text` to the parser; the rows of the lines it ends go to `on_row`. The last line is
// closed only when `finish` is set. Returns the number of rows.
std::size_t parse_into(const CsvRowSink& on_row, std::string_view text, char sep, bool finish) {
  Parser parser(on_row, sep);
  const size_t n = text.size();
  for (size_t i = 0; i < n; ++i) {
    i = parser.take_run(text, i);
    if (i == n) break;
    const char c = text[i];
    parser.feed(static_cast<unsigned char>(c));
    if (c == '\n' || (c == '\r' && (i + 1 == n || text[i + 1] != '\n'))) parser.feed(kEol);
  }
  if (!finish) return parser.rows();
  if (n > 0 && text[n - 1] != '\n' && text[n - 1] != '\r') parser.feed(kEol);
  if (parser.in_quoted_field()) throw DataError("unexpected end of data");
  return parser.rows();
}

std::string_view without_bom(std::string_view text) {
  return text.substr(0, 3) == "\xEF\xBB\xBF" ? text.substr(3) : text;
}

// Takes from the start of `line` the cell text `word`, letters in any case, quoted or not
// (spreadsheets quote every text cell). False, with `line` in some later state, otherwise.
bool take_cell(std::string_view& line, std::string_view word) {
  const bool quoted = line.starts_with('"');
  if (quoted) line.remove_prefix(1);
  if (line.size() < word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i)
    if ((line[i] | 0x20) != (word[i] | 0x20)) return false;
  line.remove_prefix(word.size());
  if (!quoted) return true;
  if (!line.starts_with('"')) return false;
  line.remove_prefix(1);
  return true;
}

// Whether `line` starts with the cells `first` and `second`, separated by `sep`.
bool starts_header(std::string_view line, std::string_view first, char sep,
                   std::string_view second) {
  if (!take_cell(line, first) || !line.starts_with(sep)) return false;
  line.remove_prefix(1);
  return take_cell(line, second);
}

}  // namespace

CsvTable csv_parse(std::string_view text, char sep) {
  CsvTable rows;
  const CsvRowSink keep = [&](CsvRow& row) {
    rows.push_back(std::move(row));
    row.reserve(rows.back().size());  // rows mostly have the width of the one before
  };
  parse_into(keep, without_bom(text), sep, true);
  return rows;
}

std::size_t csv_each_row(std::string_view text, char sep, const CsvRowSink& on_row) {
  return parse_into(on_row, without_bom(text), sep, true);
}

char csv_separator(std::string_view text) {
  // The first two cells of the header rows dialogue.csv holds; the Version row is not one
  // of them, since spreadsheets pad it with separators and other writers do not.
  static constexpr std::pair<std::string_view, std::string_view> kHeaders[] = {
      {"Language", "Font File"}, {"Credit 1", "Credit 2"}, {"Labels", "English"},
      {"Menus", "Translation"},  {"Speakers", "English"},  {"Items", "English"},
      {"Descriptions", "Item"},  {"ID", "Source"},
  };
  text = without_bom(text);
  while (!text.empty()) {
    const size_t end = text.find_first_of("\r\n");
    const std::string_view line = text.substr(0, end);
    for (const char sep : {',', ';', '\t'})
      for (const auto& [first, second] : kHeaders)
        if (starts_header(line, first, sep, second)) return sep;
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return ',';
}

std::size_t csv_row_at(std::string_view text, std::size_t offset, char sep) {
  const std::string_view plain = without_bom(text);
  const size_t skipped = text.size() - plain.size();
  const std::size_t rows = parse_into(
      [](CsvRow&) {}, plain.substr(0, offset > skipped ? offset - skipped : 0), sep, false);
  return rows + 1;
}

}  // namespace verbix
