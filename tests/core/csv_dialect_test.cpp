#include "utils/csv_dialect.h"

#include <gtest/gtest.h>

#include "utils/data_error.h"

namespace verbix {
namespace {

struct ParseCase {
  const char* text;
  CsvTable rows;
};

// Expected rows are what the common dialect's reader gives for the same text.
TEST(CsvParse, AcceptedInputs) {
  const ParseCase cases[] = {
      {"", {}},
      {"a,b\r\nc,d\r\n", {{"a", "b"}, {"c", "d"}}},
      {"a,b\nc", {{"a", "b"}, {"c"}}},
      {"a\rb", {{"a"}, {"b"}}},
      {"x\r\r\ny", {{"x"}, {}, {"y"}}},
      {"\r\n\r\n", {{}, {}}},
      {"a,", {{"a", ""}}},
      {",", {{"", ""}}},
      {"\"\"", {{""}}},
      {"\"a,b\",\"c\"\"d\"", {{"a,b", "c\"d"}}},
      {"\"line\r\nbreak\",x\r\n", {{"line\r\nbreak", "x"}}},
      {"\"lone\rcr\"", {{"lone\rcr"}}},
      {"\"ab\"c,d", {{"abc", "d"}}},
      {"a\"b,c", {{"a\"b", "c"}}},
      {" \"a\"", {{" \"a\""}}},
      {"\xEF\xBB\xBFID,x", {{"ID", "x"}}},
      {"\xEF\xBB\xBF", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(csv_parse(c.text), c.rows) << c.text;
}

TEST(CsvParse, UnclosedQuoteIsAnError) {
  for (const char* text : {"\"abc", "a,\"b\nc", "\"a\"\"", "x\r\n\""}) {
    EXPECT_THROW(csv_parse(text), DataError) << text;
  }
}

TEST(CsvFormat, QuotesOnlyWhatNeedsIt) {
  EXPECT_EQ(csv_format({{"plain", "a b", "c,d", "q\"t", "cr\rx", "lf\ny"}}),
            "plain,a b,\"c,d\",\"q\"\"t\",\"cr\rx\",\"lf\ny\"\r\n");
}

TEST(CsvFormat, EmptyRowsAndSingleEmptyField) {
  EXPECT_EQ(csv_format({{}, {""}, {"", ""}}), "\r\n\"\"\r\n,\r\n");
  EXPECT_EQ(csv_parse(csv_format({{}, {""}, {"", ""}})), (CsvTable{{}, {""}, {"", ""}}));
}

// Spreadsheets of some locales separate with ";" or a tab; the header rows the tool writes
// tell which, while the Version row may hold no separator at all.
TEST(CsvSeparator, TakenFromTheFirstHeaderRow) {
  const std::pair<const char*, char> cases[] = {
      {"Version\r\n1.0\r\n\r\nLanguage,Font File,Font Size\r\n", ','},
      {"Version;;;\r\n1.0;;;\r\n;;;\r\nLanguage;Font File;Font Size;\r\n", ';'},
      {"\xEF\xBB\xBFVersion\t\t\t\nv\nLANGUAGE\tFont File\tFont Size\n", '\t'},
      {"Menus;Translation\r\nnew_game;New Game, again\r\n", ';'},
      {"\"Version\";;\n\"Language\";\"Font File\";\"Font Size\"\n", ';'},
      {"\"Labels\",English\n", ','},
      {"\"Labels;English\"\n", ','},
      {"a;b\nc\td\n", ','},
      {"", ','},
  };
  for (const auto& [text, sep] : cases) EXPECT_EQ(csv_separator(text), sep) << text;
}

TEST(CsvParse, OtherSeparatorsQuoteTheSameWay) {
  EXPECT_EQ(csv_parse("a;\"b;c\";\"q\"\"t\"\r\nx,y;\"l\nf\"\r\n", ';'),
            (CsvTable{{"a", "b;c", "q\"t"}, {"x,y", "l\nf"}}));
  EXPECT_EQ(csv_parse("a\t\"b\tc\"\t\r\n", '\t'), (CsvTable{{"a", "b\tc", ""}}));
}

TEST(CsvRowAt, CountsRowsNotLines) {
  const std::string text =
      "\xEF\xBB\xBF"
      "a,b\r\n\"two\nlines\",x\r\n\r\nbad\r\n";
  EXPECT_EQ(csv_row_at(text, 3), 1u);
  EXPECT_EQ(csv_row_at(text, text.find("lines")), 2u);
  EXPECT_EQ(csv_row_at(text, text.find("bad") + 1), 4u);
}

}  // namespace
}  // namespace verbix
