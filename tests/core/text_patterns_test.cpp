// The patterns the build checks look for: one table of texts with their placeholders, one of
// texts with what a spreadsheet shows for them.
#include "checks/text_patterns.h"

#include <gtest/gtest.h>

namespace verbix {
namespace {

using Found = std::vector<std::string>;

TEST(Placeholders, FoundAsWrittenSorted) {
  const std::pair<const char*, Found> cases[] = {
      {"Slot %d: %s", {"%d", "%s"}},
      {"%5.2f%% done, %1$s and %-3lld", {"%-3lld", "%1$s", "%5.2f"}},
      {"50% off, 100%, %", {}},
      {"%(name)s has %(count)d, (%)", {"%(count)d", "%(name)s"}},
      {"{0} and {name} at {0:>3}, {}", {"{0:>3}", "{0}", "{name}", "{}"}},
      {"{{literal}} { spaced } {unclosed", {}},
      {"<b>bold</b> <color=#f00>red</color> <br/>",
       {"</b>", "</color>", "<b>", "<br/>", "<color=#f00>"}},
      {"a < b > c, <3, <>", {}},
      {"plain text", {}},
  };
  for (const auto& [text, want] : cases) EXPECT_EQ(find_placeholders(text), want) << text;
}

TEST(Spreadsheet, ErrorValues) {
  for (const char* text : {"#NAME?", "#VALUE!", "#REF!", "#DIV/0!", "#N/A", "#NUM!", "#NULL!"})
    EXPECT_TRUE(is_spreadsheet_error(text)) << text;
  for (const char* text : {"#name?", " #N/A", "#", "NAME?", ""})
    EXPECT_FALSE(is_spreadsheet_error(text)) << text;
}

TEST(Spreadsheet, WhatACellShows) {
  const std::pair<const char*, const char*> changed[] = {
      {"007", "7"},       {"+50", "50"},      {"1e5", "100000"}, {"2.50", "2.5"},  {"=1+1", "2"},
      {"=2*(3+4)", "14"}, {"=-1/4", "-0.25"}, {"000", "0"},      {"1E-2", "0.01"}, {"-0", "0"},
  };
  for (const auto& [text, shown] : changed) EXPECT_EQ(spreadsheet_reading(text), shown) << text;
  for (const char* text :
       {"7", "-3", "0.5", "Hello", "=A1", "=1/0", "==Title==", "1e", "+", "1,000",
        "=((((((((((((((((((((((((((((((((((1))))))))))))))))))))))))))))))))))", ""})
    EXPECT_EQ(spreadsheet_reading(text), std::nullopt) << text;
}

}  // namespace
}  // namespace verbix
