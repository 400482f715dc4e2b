// The places the TXT and CSV writers report for each id against the DialogueMeta their
// readers record on reading the written file back: Check and Update report additions from
// the writers' places, which must be the places a re-read would give, edge cases included.
#include "data/id_places.h"

#include <gtest/gtest.h>

#include "data/dialogue_csv.h"
#include "data/dialogue_txt.h"
#include "data/language_data.h"
#include "record_builders.h"

namespace verbix {
namespace {
using testing::entry;
using testing::lines;

// A record with what makes places tricky: an id in several tables, an item whose
// description is empty, one content id in two consecutive blocks, a block before choices, a
// block without text, an option without text, a nameless speaker, a menu key equal to a
// label key, lines that are empty or start with ":".
Value tricky_record() {
  Value rec = data_new();
  rec["ver_hash"] = "v : 1";
  rec["sys_lbls"] = Value(Map{{"ok", "OK"}, {"both", "Label both"}, {"blank", ""}});
  rec["sys_menu"] = Value(Map{{"both", "Menu both"}, {"long_menu_key", ""}});
  rec["actr_lut"] = Value(Map{{"bob", "Bob"}, {"mute", ""}, {"c1", "Sam"}});
  rec["item_lut"] = Value(Map{{"key_001", "Key"}, {"map_001", "Map"}, {"box_001", "Box"}});
  rec["text_lut"] = Value(Map{{"key_001", lines({"A key.", ":colon", ""})},
                              {"map_001", lines({})},
                              {"c1", lines({"One.", "Two."})},
                              {"c2", lines({""})},
                              {"o1", lines({"Yes"})},
                              {"o3", lines({})},
                              {"c4", lines({"After."})}});
  rec["sections"] = Value(Map{
      {"ch01.json", Value(List{entry("bob", {"c1"}), entry("mute", {"c1"}), entry("", {"c2"}),
                               entry("[CHOICES]", {"o1", "o2", "o3"}), entry("bob", {"c4"}),
                               entry("", {"nothing"})})},
      {"ch02.json", Value(List{entry("[CHOICES]", {"o1"}), entry("bob", {"c4"}), entry("", {})})},
  });
  return rec;
}

// Every id of every table and section, asked for.
IdPlaces every_id(const Value& rec) {
  IdPlaces places;
  for (std::string_view table : {"sys_lbls", "sys_menu", "actr_lut", "item_lut", "text_lut"})
    for (const auto& [key, value] : rec[table].as_map()) places.want(key);
  for (const auto& [key, entries] : rec["sections"].as_map())
    for (const Value& e : entries.as_list())
      for (const Value& id : e["text"].as_list()) places.want(id.as_text());
  places.want("format");
  places.want("never_written");
  return places;
}

// Each id's places as DialogueMeta pairs, for comparing with a reader's.
void expect_same_places(const IdPlaces& places, const Value& meta, const Value& rec) {
  IdPlaces ids = every_id(rec);
  for (std::string_view table : {"sys_lbls", "sys_menu", "actr_lut", "item_lut", "text_lut"})
    for (const auto& [key, value] : rec[table].as_map()) {
      List expected;
      if (const Value* m = meta.find(key); m && m->is_list()) expected = m->as_list();
      List got;
      for (const IdPlace& p : places.of(key)) got.push_back(testing::pair(p.at, p.text));
      EXPECT_EQ(Value(got), Value(expected)) << key;
    }
  for (const auto& [key, entries] : rec["sections"].as_map())
    for (const Value& e : entries.as_list())
      for (const Value& id : e["text"].as_list()) {
        List expected;
        if (const Value* m = meta.find(id.as_text()); m && m->is_list()) expected = m->as_list();
        List got;
        for (const IdPlace& p : places.of(id.as_text())) got.push_back(testing::pair(p.at, p.text));
        EXPECT_EQ(Value(got), Value(expected)) << id.as_text();
      }
  EXPECT_TRUE(places.of("format").empty());
  EXPECT_TRUE(places.of("never_written").empty());
  EXPECT_FALSE(ids.wants("format"));
}

// The record's dialogue sections are known, as after start-up.
class IdPlacesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = SECTIONS.size();
    SECTIONS.push_back("ch01.json");
    SECTIONS.push_back("ch02.json");
  }
  void TearDown() override { SECTIONS.resize(saved_); }

 private:
  std::size_t saved_ = 0;
};

TEST_F(IdPlacesTest, TxtWriterPlacesAreTheReadersLines) {
  const Value rec = tricky_record();
  IdPlaces places = every_id(rec);
  const std::string text = dat_2_txt(rec, nullptr, &places);
  expect_same_places(places, txt_2_dat(text).meta.to_value(), rec);
  EXPECT_EQ(dat_2_txt(rec), text);  // asking for places changes nothing written
}

TEST_F(IdPlacesTest, CsvWriterPlacesAreTheReadersRows) {
  const Value eng = tricky_record();
  Value tr = eng;
  tr["text_lut"]["c1"] = lines({"Uno.", ""});  // a blank translation reads back as English
  tr["actr_lut"]["bob"] = "  ";
  const Value untranslated = Value::map();
  const Value& translation = tr;
  for (const Value* lng : {&untranslated, &translation}) {
    IdPlaces places = every_id(eng);
    const CsvTable rows = dat_2_csv(eng, *lng, nullptr, &places);
    expect_same_places(places, csv_2_dat(rows).meta.to_value(), eng);
    EXPECT_EQ(dat_2_csv(eng, *lng), rows);
  }
}

}  // namespace
}  // namespace verbix
