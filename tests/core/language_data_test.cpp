#include "data/language_data.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace verbix {
namespace {

std::vector<std::string> keys_of(const Value& v) {
  std::vector<std::string> keys;
  for (const auto& [k, x] : v.as_map()) keys.push_back(k);
  return keys;
}

TEST(DataNew, HoldsTheThirteenKeysInOrderWithTheirStartingValues) {
  const Value d = data_new();
  EXPECT_EQ(keys_of(d), std::vector<std::string>(kRecordKeys.begin(), kRecordKeys.end()));
  EXPECT_EQ(d["ver_hash"], Value(""));
  EXPECT_EQ(d["lng_name"], Value("English"));
  EXPECT_EQ(d["lng_info"], Value(List{"", "", ""}));
  EXPECT_EQ(d["fnt_face"], Value("GameFont"));
  EXPECT_TRUE(d["fnt_size"].is_int());
  EXPECT_EQ(d["fnt_size"].as_int(), 28);
  EXPECT_TRUE(d["fnt_data"].is_none());
  for (const char* k :
       {"sys_lbls", "sys_menu", "actr_lut", "item_lut", "text_lut", "img_data", "sections"}) {
    EXPECT_TRUE(d[k].is_map()) << k;
    EXPECT_EQ(d[k].size(), 0u) << k;
  }
}

TEST(DataNew, FreshRecordsShareNoListOrMap) {
  Value a = data_new();
  Value b = data_new();
  a["lng_info"].as_list().push_back("credit");
  a["text_lut"]["id"] = List{"line"};
  EXPECT_EQ(b["lng_info"].size(), 3u);
  EXPECT_EQ(b["text_lut"].size(), 0u);
  EXPECT_EQ(data_new(), b);
}

Value record_without(std::string_view key) {
  Value d = data_new();
  d.as_map().erase(key);
  return d;
}

Value record_with(std::string_view key, Value v) {
  Value d = data_new();
  d[key] = std::move(v);
  return d;
}

struct ValidityCase {
  std::string name;
  Value value;
  bool valid;
};

TEST(DataIsValid, ExaminesKeySetsAndTheFirstMapValuedEntryOnly) {
  Value filled = data_new();
  filled["text_lut"]["a1"] = List{"Hello"};
  filled["sections"]["ch01.json"] = List{Map{{"name", ""}, {"text", List{"a1"}}}};
  Value reordered = Value::map();
  for (auto it = kRecordKeys.rbegin(); it != kRecordKeys.rend(); ++it)
    reordered[*it] = data_new()[*it];

  std::vector<ValidityCase> cases = {
      {"a fresh record", data_new(), true},
      {"a record with data", filled, true},
      {"the keys in another order", reordered, true},
      {"an empty map", Value::map(), false},
      {"none", Value(), false},
      {"a list", Value::list(), false},
      {"a text", "lang", false},
      {"an extra key", record_with("extra", 1), false},
      {"fnt_data holding a map", record_with("fnt_data", Value::map()), false},
      {"lng_info holding a map", record_with("lng_info", Map{{"a", "b"}}), false},
      {"fnt_size as text", record_with("fnt_size", "28"), true},
      {"sections as a list", record_with("sections", Value::list()), true},
      {"every map as a list",
       [] {
         Value d = data_new();
         for (const char* k :
              {"sys_lbls", "sys_menu", "actr_lut", "item_lut", "text_lut", "img_data", "sections"})
           d[k] = Value::list();
         return d;
       }(),
       true},
  };
  for (const std::string_view k : kRecordKeys)
    cases.push_back({"without " + std::string(k), record_without(k), false});
  for (const auto& c : cases) EXPECT_EQ(data_is_valid(c.value), c.valid) << c.name;
}

TEST(ConstantLists, HoldTheSystemsNames) {
  EXPECT_EQ(SECTION_HEADER, (std::vector<std::string>{"ID", "Source", "English", "Translation"}));
  EXPECT_EQ(FONT_TYPES,
            (std::vector<std::string>{".ttf", ".otf", ".eot", ".svg", ".woff", ".woff2"}));
  EXPECT_EQ(FONT_FACES, (std::vector<std::string>{"gamefont", "verdana", "arial", "courier new"}));
  ASSERT_GE(SECTIONS.size(), kFirstDialogueSection);
  EXPECT_EQ(std::vector<std::string>(SECTIONS.begin(), SECTIONS.begin() + kFirstDialogueSection),
            (std::vector<std::string>{"VERSION", "LANGUAGE", "FONT", "CREDITS", "LABELS", "MENUS",
                                      "SPEAKERS", "ITEMS", "DESCRIPTIONS"}));
}

TEST(ConstantLists, GameSectionsFollowTheFixedOnesInTheRecordsOrder) {
  const std::vector<std::string> saved = SECTIONS;
  Value game = data_new();
  game["sections"]["ch02.json"] = Value::list();
  game["sections"]["ch01.json"] = Value::list();
  SECTIONS.resize(kFirstDialogueSection);
  for (const auto& [key, entries] : game["sections"].as_map()) SECTIONS.push_back(key);
  EXPECT_EQ(SECTIONS.size(), 11u);
  EXPECT_EQ(SECTIONS[9], "ch02.json");
  EXPECT_EQ(SECTIONS[10], "ch01.json");
  SECTIONS = saved;
}

}  // namespace
}  // namespace verbix
