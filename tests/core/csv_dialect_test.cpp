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

}  // namespace
}  // namespace verbix
