// UTF-8 validation, white space stripping and file-name wildcards.
#include <gtest/gtest.h>

#include "text/py_text.h"
#include "text/utf8.h"
#include "utils/wildcard.h"

namespace verbix {
namespace {

TEST(Utf8, AcceptsValidTextRejectsWhatTheDecoderRejects) {
  EXPECT_EQ(utf8_error("plain \xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x98\x80"), std::nullopt);
  struct Bad {
    const char* data;
    const char* error;
  };
  const Bad cases[] = {
      {"\xff", "byte 0xff in position 0: invalid start byte"},
      {"ab\xC0\x80", "byte 0xc0 in position 2: invalid start byte"},           // overlong
      {"\xED\xA0\x80", "byte 0xed in position 0: invalid continuation byte"},  // surrogate
      {"\xF4\x90\x80\x80", "byte 0xf4 in position 0: invalid continuation byte"},
      {"x\xE6\x97", "byte 0xe6 in position 1: unexpected end of data"},
      {"\xC3(", "byte 0xc3 in position 0: invalid continuation byte"},
  };
  for (const auto& c : cases) {
    const auto error = utf8_error(c.data);
    ASSERT_TRUE(error.has_value()) << c.data;
    EXPECT_EQ(*error, std::string("'utf-8' codec can't decode ") + c.error);
  }
}

TEST(PyStrip, UnicodeWhiteSpaceAtBothEnds) {
  EXPECT_EQ(py_strip(" \t\r\n a b \x0b\x0c"), "a b");
  EXPECT_EQ(py_strip("\xE3\x80\x80x\xC2\xA0"), "x");      // U+3000 and U+00A0
  EXPECT_EQ(py_strip("\xE2\x80\x8Bx"), "\xE2\x80\x8Bx");  // U+200B is not white space
  EXPECT_EQ(py_strip("   "), "");
}

TEST(Wildcard, Table) {
  struct Case {
    const char* pattern;
    const char* name;
    bool match;
  };
  const Case cases[] = {
      {"*..txt", "log_20250413073919..txt", true},
      {"*..txt", "log_20250413073919.txt", false},
      {"*.log", "a.log", true},
      {"*.log", "a.log.bak", false},
      {"?.log", "ab.log", false},
      {"?.log", "\xC3\xA9.log", true},  // one character, two bytes
      {"[ab]*", "beta", true},
      {"[!ab]*", "beta", false},
      {"[a-c]x", "bx", true},
      {"[x", "[x", true},
      {"*a*b*", "xxaxxbxx", true},
      {"*a*b", "xxaxxbxxc", false},
      {"", "", true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(wildcard_match(c.pattern, c.name), c.match) << c.pattern << " ~ " << c.name;
}

}  // namespace
}  // namespace verbix
