#include "data/dialogue_csv.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "data/language_data.h"
#include "record_builders.h"
#include "recording_window.h"
#include "test_support.h"
#include "text/text_repr.h"
#include "utils/csv_dialect.h"
#include "utils/log_service.h"

namespace verbix {
namespace {
using testing::entry;
using testing::lines;
using testing::pair;

using testing::RecordingWindow;
using testing::UtilsTest;

// A small English record with one of everything the layout writes: a nameless speaker, an
// item without a description, a narrator block and a choice whose second option has no
// text.
Value english() {
  Value d = data_new();
  d["ver_hash"] = "Episode 1 : 0123456789abcdef0123";
  d["lng_info"] = lines({"c1", "c2", "c3"});
  d["sys_lbls"] = Value(Map{{"ok", "OK"}, {"quit", "Quit, now?"}});
  d["sys_menu"] = Value(Map{{"new_game", "New Game"}});
  d["actr_lut"] = Value(Map{{"anna", "Anna"}, {"mute", ""}, {"bo", "Bo"}});
  d["item_lut"] = Value(Map{{"key", "Brass Key"}, {"map", "Map"}});
  d["text_lut"] = Value(Map{{"key", lines({"Old.", "Shiny."})},
                            {"c1", lines({"Hello.", "Bye."})},
                            {"c2", lines({"(wind)"})},
                            {"o1", lines({"Yes"})}});
  d["sections"] =
      Value(Map{{"ch01.json", Value(List{entry("anna", {"c1"}), entry("[CHOICES]", {"o1", "o2"}),
                                         entry("mute", {"c2"})})}});
  return d;
}

CsvTable round_trip_rows(const CsvTable& rows) { return csv_parse(csv_format(rows)); }

// ---------------------------------------------------------------------------------------
// Row predicates

TEST(IsSectionHeader, CaseBlanksTrailingCellsAndSplitDoNotMatter) {
  const struct {
    CsvRow row;
    bool header;
  } cases[] = {
      {{"ID", "Source", "English", "Translation"}, true},
      {{"id", " Source ", "ENGLISH", "translation", ""}, true},
      {{"IDSource", "EnglishTranslation"}, true},
      {{"\u3000ID", "Source\u00a0", "English", "Translation"}, true},
      {{"ID", "Source", "English"}, false},
      {{"ID", "Source", "English", "Translation", "x"}, false},
      {{}, false},
  };
  for (const auto& c : cases) EXPECT_EQ(is_section_header(c.row), c.header) << py_repr_list(c.row);
}

TEST(NewBlock, LanguageAndItemsNeedTheirHeaderShape) {
  const struct {
    std::string next;
    CsvRow row;
    bool starts;
  } cases[] = {
      {"LABELS", {"labels"}, true},
      {"CREDIT 1", {"Credit 1"}, true},
      {"SECTION", {"Section"}, true},
      {"LABEL", {"label", "English", "Translation"}, false},
      {"LANGUAGE", {"Language", "Font File", "Font Size"}, true},
      {"LANGUAGE", {"Language", " Font File ", ""}, true},
      {"LANGUAGE", {"Language", "", "x"}, true},
      {"LANGUAGE", {"Language", "font file", " "}, false},
      {"LANGUAGE", {"Language", "Font File"}, false},
      {"ITEMS", {"Items", "English", "Translation"}, true},
      {"ITEMS", {"items", "", "Translation"}, true},
      {"ITEMS", {"items", "Bag of items", ""}, false},
      {"ITEMS", {"items", "English"}, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(new_block(c.next, "", c.row), c.starts) << c.next << " " << py_repr_list(c.row);
}

// ---------------------------------------------------------------------------------------
// The writer

TEST(Dat2Csv, WritesTheLayoutOfAnEnglishRecord) {
  const CsvTable expected = {
      {"Version"},
      {"Episode 1 : 0123456789abcdef0123"},
      {},
      {"Language", "Font File", "Font Size"},
      {"English", "GameFont", "28"},
      {},
      {"Credit 1", "Credit 2", "Credit 3"},
      {"c1", "c2", "c3"},
      {},
      {"Labels", "English", "Translation"},
      {"ok", "OK", ""},
      {"quit", "Quit, now?", ""},
      {},
      {"Menus", "Translation"},
      {"new_game", "New Game"},  // no English column: the Translation cell carries it
      {},
      {"Speakers", "English", "Translation"},
      {"mute", "", ""},
      {"bo", "Bo", ""},
      {"anna", "Anna", ""},
      {},
      {"Items", "English", "Translation"},
      {"map", "Map", ""},
      {"key", "Brass Key", ""},
      {},
      {"Descriptions", "Item", "English", "Translation"},
      {"key", "Brass Key", "Old.", ""},
      {"key", "Brass Key", "Shiny.", ""},
      {},
      {},
      {"Section", "ch01.json"},
      {"ID", "Source", "English", "Translation"},
      {"c1", "Anna", "Hello.", ""},
      {"c1", "Anna", "Bye.", ""},
      {"o1", "CHOICE(1)", "Yes", ""},
      {"o2", "CHOICE(2)", "*MISSING*", ""},
      {"c2", "Narrator", "(wind)", ""},
  };
  EXPECT_EQ(dat_2_csv(english()), expected);
}

TEST(Dat2Csv, TranslationFillsTranslationCellsAndHeader) {
  Value fr = english();
  fr["ver_hash"] = "fr stamp";
  fr["lng_name"] = "Français";
  fr["fnt_size"] = 30;
  fr["lng_info"] = lines({"t1", "t2", "t3"});
  fr["sys_lbls"] = Value(Map{{"quit", "Quitter ?"}});
  fr["sys_menu"] = Value(Map{{"new_game", "Nouvelle partie"}});
  fr["actr_lut"] = Value(Map{{"anna", "Anne"}});
  fr["item_lut"] = Value(Map{{"key", "Clé"}});
  // Fewer translated lines than English ones, more, and a missing option.
  fr["text_lut"] =
      Value(Map{{"key", lines({"Vieille."})}, {"c1", lines({"Salut.", "Au revoir.", "x"})}});
  const CsvTable rows = dat_2_csv(english(), fr);
  ASSERT_EQ(rows.size(), 37u);
  EXPECT_EQ(rows[1], CsvRow({"fr stamp"}));
  EXPECT_EQ(rows[4], CsvRow({"Français", "GameFont", "30"}));
  EXPECT_EQ(rows[7], CsvRow({"t1", "t2", "t3"}));
  EXPECT_EQ(rows[10], CsvRow({"ok", "OK", ""}));
  EXPECT_EQ(rows[11], CsvRow({"quit", "Quit, now?", "Quitter ?"}));
  EXPECT_EQ(rows[14], CsvRow({"new_game", "Nouvelle partie"}));
  EXPECT_EQ(rows[19], CsvRow({"anna", "Anna", "Anne"}));
  EXPECT_EQ(rows[23], CsvRow({"key", "Brass Key", "Clé"}));
  EXPECT_EQ(rows[26], CsvRow({"key", "Brass Key", "Old.", "Vieille."}));
  EXPECT_EQ(rows[27], CsvRow({"key", "Brass Key", "Shiny.", ""}));
  EXPECT_EQ(rows[32], CsvRow({"c1", "Anna", "Hello.", "Salut."}));
  EXPECT_EQ(rows[33], CsvRow({"c1", "Anna", "Bye.", "Au revoir."}));
  EXPECT_EQ(rows[34], CsvRow({"o1", "CHOICE(1)", "Yes", ""}));
}

TEST(Dat2Csv, EntriesWithoutLinesWriteNoRows) {
  Value d = english();
  d["text_lut"].as_map().set("c1", Value::list());
  d["text_lut"].as_map().set("o1", Value::list());
  d["sections"]["ch01.json"].as_list().push_back(entry("anna", {}));
  d["sections"]["ch01.json"].as_list().push_back(entry("anna", {"nowhere"}));
  const CsvTable rows = dat_2_csv(d);
  const CsvTable tail(rows.begin() + 32, rows.end());
  EXPECT_EQ(tail, CsvTable({{"o1", "CHOICE(1)", "*MISSING*", ""},
                            {"o2", "CHOICE(2)", "*MISSING*", ""},
                            {"c2", "Narrator", "(wind)", ""}}));
}

using Dat2CsvInvalid = UtilsTest;

TEST_F(Dat2CsvInvalid, ReportsThroughInfoAndGivesNoRows) {
  RecordingWindow app;
  EXPECT_TRUE(dat_2_csv(Value::map(), Value::map(), &app).empty());
  Value broken = english();
  broken.as_map().erase("img_data");
  EXPECT_TRUE(dat_2_csv(english(), broken, &app).empty());
  EXPECT_EQ(app.calls,
            std::vector<std::string>({"log: Invalid English data, can't create CSV.",
                                      "log: Invalid translation data, can't create CSV."}));
  // Without a window the line goes to the log and the writer still returns.
  EXPECT_TRUE(dat_2_csv(Value("text")).empty());
  EXPECT_EQ(utils._output.back(), "Invalid English data, can't create CSV.");
}

// ---------------------------------------------------------------------------------------
// The reader: what comes back

TEST(Csv2Dat, WrittenRecordComesBack) {
  const Value eng = english();
  const DialogueRead r = csv_2_dat(round_trip_rows(dat_2_csv(eng)));
  ASSERT_FALSE(r.failed());
  for (const char* key : {"ver_hash", "lng_name", "lng_info", "fnt_face", "fnt_size", "sys_lbls",
                          "actr_lut", "item_lut"})
    EXPECT_EQ(r.data[key], eng[key]) << key;
  // Menus have no English column: their Translation cells carry the English text.
  EXPECT_EQ(r.data["sys_menu"], eng["sys_menu"]);
  Value text = eng["text_lut"];
  text.as_map().set("o2", lines({"*MISSING*"}));
  EXPECT_EQ(r.data["text_lut"], text);
  // The narrator block comes back without a speaker id.
  EXPECT_EQ(
      r.data["sections"],
      Value(Map{{"ch01.json", Value(List{entry("anna", {"c1"}), entry("[CHOICES]", {"o1", "o2"}),
                                         entry("", {"c2"})})}}));
}

TEST(Csv2Dat, MetaNamesTheRowOfEveryKeyAndBlock) {
  const DialogueRead r = csv_2_dat(round_trip_rows(dat_2_csv(english())));
  const Value meta_value = r.meta.to_value();
  const Map& meta = meta_value.as_map();
  EXPECT_EQ(meta.begin()->key(), "format");
  EXPECT_EQ(meta.at("format"), Value("CSV"));
  EXPECT_EQ(meta.at("new_game"), Value(List{pair(15, "New Game")}));
  // An item's own row, then its description block; a block's first row and its lines.
  EXPECT_EQ(meta.at("key"), Value(List{pair(24, "Brass Key"), pair(27, "Old.\nShiny.")}));
  EXPECT_EQ(meta.at("c1"), Value(List{pair(33, "Hello.\nBye.")}));
  EXPECT_EQ(meta.at("o1"), Value(List{pair(35, "Yes")}));
  EXPECT_EQ(meta.at("c2"), Value(List{pair(37, "(wind)")}));
  // The first description row closes the block that was never opened.
  EXPECT_EQ(meta.at(""), Value(List{pair(0, "")}));
  // Read from the text one row at a time: the same record and positions.
  const DialogueRead streamed = csv_2_dat(csv_format(round_trip_rows(dat_2_csv(english()))), ',');
  EXPECT_EQ(streamed.data, r.data);
  EXPECT_EQ(streamed.meta.to_value(), r.meta.to_value());
}

TEST(Csv2Dat, TranslationCellsWinAndBlankOnesFallBack) {
  const CsvTable rows = {
      {"labels", "English", "Translation"},
      {"a", "A", "  "},
      {"b", "B", " x "},
      {"Menus", "Translation"},
      {"m", ""},
      {"n", "N!"},
      {"Speakers", "English", "Translation"},
      {"s", "Sam", "Samuel"},
      {"Section", "one.json"},
      {"ID", "Source", "English", "Translation"},
      {"c", "Samuel", "Hi", "Salut"},
      {"c", "Samuel", "Bye", "\u3000"},
      {"d", "Sam", "Who?", ""},
  };
  const DialogueRead r = csv_2_dat(rows);
  EXPECT_EQ(r.data["sys_lbls"], Value(Map{{"a", "A"}, {"b", " x "}}));
  EXPECT_EQ(r.data["sys_menu"], Value(Map{{"m", "m"}, {"n", "N!"}}));
  EXPECT_EQ(r.data["actr_lut"], Value(Map{{"s", "Samuel"}}));
  EXPECT_EQ(r.data["text_lut"], Value(Map{{"c", lines({"Salut", "Bye"})}, {"d", lines({"Who?"})}}));
  // The source matches the speaker's resolved (translated) name only.
  EXPECT_EQ(r.data["sections"]["one.json"], Value(List{entry("s", {"c"}), entry("", {"d"})}));
}

TEST(Csv2Dat, BlocksAreFoundWhateverTheSpacing) {
  // No empty rows between blocks, extra ones elsewhere, rows with an empty first cell.
  const CsvTable rows = {
      {},
      {"VERSION"},
      {"v1"},
      {"Labels", "English", "Translation"},
      {"", "stray", "cells"},
      {"a", "A", ""},
      {},
      {},
      {"b", "B", ""},
      {"Section", "s.json"},
      {"ignored", "before", "the", "titles"},
      {"id", "source", "english", "translation"},
      {"c", "X", "line", ""},
  };
  const DialogueRead r = csv_2_dat(rows);
  EXPECT_EQ(r.data["ver_hash"], Value("v1"));
  EXPECT_EQ(r.data["sys_lbls"], Value(Map{{"a", "A"}, {"b", "B"}}));
  EXPECT_EQ(r.data["sections"]["s.json"], Value(List{entry("", {"c"})}));
  EXPECT_EQ(r.meta.to_value()["b"], Value(List{pair(9, "B")}));
}

TEST(Csv2Dat, SectionWithoutTitleRowHasNoEntries) {
  const DialogueRead r = csv_2_dat({{"Section", "a.json"},
                                    {"c1", "X", "one", ""},
                                    {"Section", "b.json"},
                                    {"ID", "Source", "English", "Translation"},
                                    {"c2", "X", "two", ""}});
  EXPECT_EQ(r.data["sections"],
            Value(Map{{"a.json", Value::list()}, {"b.json", Value(List{entry("", {"c2"})})}}));
  EXPECT_EQ(r.data["text_lut"], Value(Map{{"c2", lines({"two"})}}));
}

TEST(Csv2Dat, ChoiceRowsMakeOneChoiceEntry) {
  const DialogueRead r = csv_2_dat({{"Section", "a.json"},
                                    {"ID", "Source", "English", "Translation"},
                                    {"c1", "X", "before", ""},
                                    {"o1", "CHOICE(1)", "Yes", ""},
                                    {"o2", "choice(2)", "No", "Non"},
                                    {"o3", " CHOICE(3) ", "Maybe", ""},
                                    {"c2", "X", "after", ""}});
  EXPECT_EQ(
      r.data["sections"]["a.json"],
      Value(List{entry("", {"c1"}), entry("[CHOICES]", {"o1", "o2", "o3"}), entry("", {"c2"})}));
  EXPECT_EQ(r.data["text_lut"]["o2"], lines({"Non"}));
  EXPECT_EQ(r.meta.to_value()["c1"], Value(List{pair(3, "before")}));
  EXPECT_EQ(r.meta.to_value()["o3"], Value(List{pair(6, "Maybe")}));
  EXPECT_EQ(r.meta.to_value()["c2"], Value(List{pair(7, "after")}));
}

// ---------------------------------------------------------------------------------------
// The reader: rows that the format's first readers lost or misread

TEST(Csv2Dat, NamelessSpeakerIsAccepted) {
  const DialogueRead r = csv_2_dat({{"Speakers", "English", "Translation"},
                                    {"mute", "", ""},
                                    {"voice", " ", "Voix"},
                                    {"anna", "Anna", ""}});
  ASSERT_FALSE(r.failed());
  EXPECT_EQ(r.data["actr_lut"], Value(Map{{"mute", ""}, {"voice", "Voix"}, {"anna", "Anna"}}));
  EXPECT_EQ(r.meta.to_value()["mute"], Value(List{pair(2, "")}));
}

TEST(Csv2Dat, EmptyFirstCellOfCreditsAndLanguageIsRead) {
  const DialogueRead r = csv_2_dat({{"Language", "Font File", "Font Size"},
                                    {"", "Arial", " 30 "},
                                    {"Credit 1", "Credit 2", "Credit 3"},
                                    {"", "second", "third"}});
  EXPECT_EQ(r.data["lng_name"], Value(""));
  EXPECT_EQ(r.data["fnt_face"], Value("Arial"));
  EXPECT_EQ(r.data["fnt_size"], Value(30));
  EXPECT_EQ(r.data["lng_info"], lines({"", "second", "third"}));
  // A row of nothing but empty cells stays skipped.
  const DialogueRead blank =
      csv_2_dat({{"Credit 1", "Credit 2", "Credit 3"}, {"", "", ""}, {"a", "b", "c"}});
  EXPECT_EQ(blank.data["lng_info"], lines({"a", "b", "c"}));
}

TEST(Csv2Dat, ChoiceInsideNamesIsDialogue) {
  const DialogueRead r = csv_2_dat({{"Speakers", "English", "Translation"},
                                    {"cm", "Choice Maker", ""},
                                    {"Descriptions", "Item", "English", "Translation"},
                                    {"card", "CHOICE(1) card", "A card.", ""},
                                    {"Section", "a.json"},
                                    {"ID", "Source", "English", "Translation"},
                                    {"c1", "Choice Maker", "Pick one.", ""},
                                    {"c2", "CHOICE(x)", "Odd.", ""}});
  EXPECT_EQ(r.data["text_lut"], Value(Map{{"card", lines({"A card."})},
                                          {"c1", lines({"Pick one."})},
                                          {"c2", lines({"Odd."})}}));
  EXPECT_EQ(r.data["sections"]["a.json"], Value(List{entry("cm", {"c1"}), entry("", {"c2"})}));
}

TEST(Csv2Dat, OptionWithoutFirstOptionOpensAChoiceBlock) {
  // The CHOICE(1) row was deleted, and a later section starts with an option row.
  const DialogueRead r = csv_2_dat({{"Section", "a.json"},
                                    {"ID", "Source", "English", "Translation"},
                                    {"c1", "X", "Pick.", ""},
                                    {"o2", "CHOICE(2)", "No", ""},
                                    {"o3", "CHOICE(3)", "Maybe", ""},
                                    {"Section", "b.json"},
                                    {"ID", "Source", "English", "Translation"},
                                    {"p2", "CHOICE(2)", "Later", ""}});
  EXPECT_EQ(r.data["text_lut"]["c1"], lines({"Pick."}));
  EXPECT_EQ(r.data["sections"],
            Value(Map{{"a.json", Value(List{entry("", {"c1"}), entry("[CHOICES]", {"o2", "o3"})})},
                      {"b.json", Value(List{entry("[CHOICES]", {"p2"})})}}));
  EXPECT_EQ(r.meta.to_value()["c1"], Value(List{pair(3, "Pick.")}));
}

TEST(Csv2Dat, DialogueAfterChoicesUnderThePreviousIdIsANewBlock) {
  const DialogueRead r = csv_2_dat({{"Section", "a.json"},
                                    {"ID", "Source", "English", "Translation"},
                                    {"c1", "X", "one", ""},
                                    {"o1", "CHOICE(1)", "Yes", ""},
                                    {"c1", "X", "two", ""}});
  EXPECT_EQ(r.data["sections"]["a.json"],
            Value(List{entry("", {"c1"}), entry("[CHOICES]", {"o1"}), entry("", {"c1"})}));
  EXPECT_EQ(r.data["text_lut"]["c1"], lines({"two"}));
  EXPECT_EQ(r.meta.to_value()["c1"], Value(List{pair(3, "one"), pair(5, "two")}));
}

TEST(Csv2Dat, HeadersAndChoiceSourcesAreMatchedAsPythonUpperCases) {
  // "ſ" upper-cases to "S" and "ı" to "I"; a header's first cell is not trimmed, a choice
  // source is (U+3000 included).
  const DialogueRead r = csv_2_dat({{"\u017fection", "a.json"},
                                    {"ID", "Source", "English", "Translation"},
                                    {"o1", "cho\u0131ce(1)", "Yes", ""},
                                    {"o2", "CHOICE(2)\u3000", "No", ""},
                                    {"c1", "CHOICE(2)x", "Hm.", ""},
                                    {"Labels\u00a0", "not", "a header", ""}});
  ASSERT_FALSE(r.failed());
  EXPECT_EQ(r.data["sections"]["a.json"],
            Value(List{entry("[CHOICES]", {"o1", "o2"}), entry("", {"c1"}),
                       entry("", {"Labels\u00a0"})}));
}

TEST(Csv2Dat, KeysNamedFormatLeaveTheFormatEntryAlone) {
  const DialogueRead r = csv_2_dat({{"Labels", "English", "Translation"},
                                    {"format", "%d/%m", ""},
                                    {"Section", "a.json"},
                                    {"ID", "Source", "English", "Translation"},
                                    {"format", "X", "x", ""}});
  EXPECT_EQ(r.meta.to_value()["format"], Value("CSV"));
  EXPECT_EQ(r.data["sys_lbls"], Value(Map{{"format", "%d/%m"}}));
  EXPECT_EQ(r.data["text_lut"], Value(Map{{"format", lines({"x"})}}));
}

TEST(Csv2Dat, RepeatedSectionKeyReplacesTheEarlierSection) {
  const DialogueRead r = csv_2_dat({{"Section", "a.json"},
                                    {"ID", "Source", "English", "Translation"},
                                    {"o1", "CHOICE(1)", "Yes", ""},
                                    {"Section", "b.json"},
                                    {"ID", "Source", "English", "Translation"},
                                    {"c1", "X", "b", ""},
                                    {"Section", "a.json"},
                                    {"ID", "Source", "English", "Translation"},
                                    {"o2", "CHOICE(2)", "No", ""}});
  ASSERT_EQ(r.data["sections"].size(), 2u);
  EXPECT_EQ(r.data["sections"].as_map().begin()->key(), "a.json");
  EXPECT_EQ(r.data["sections"]["a.json"], Value(List{entry("[CHOICES]", {"o2"})}));
}

// ---------------------------------------------------------------------------------------
// The reader: damaged files. Each starts from a file the writer wrote and breaks one row.

class Csv2DatDamage : public UtilsTest {
 protected:
  CsvTable rows = round_trip_rows(dat_2_csv(english()));

  // Reads through a recording window, from the rows and from their text one row at a time;
  // each read must fail with `message` (the row description included), shown, saved and
  // popped up in that order.
  void expect_failure(const std::string& message) {
    for (const bool from_text : {false, true}) {
      RecordingWindow app;
      const DialogueRead r =
          from_text ? csv_2_dat(csv_format(rows), ',', &app) : csv_2_dat(rows, &app);
      EXPECT_TRUE(r.failed());
      EXPECT_EQ(r.data, Value::map());
      EXPECT_EQ(r.meta.to_value(), Value::map());
      EXPECT_EQ(app.calls, RecordingWindow::error_calls(message)) << from_text;
    }
  }
};

TEST_F(Csv2DatDamage, ShortLabelsRow) {
  rows[10] = {"ok", "OK"};
  expect_failure("Row expects 3 columns and has 2 cols: 11 - ['ok', 'OK']");
}

TEST_F(Csv2DatDamage, ShortMenusRowIsFineButShortSectionRowIsNot) {
  rows[14] = {"new_game"};
  expect_failure("Row expects 2 columns and has 1 cols: 15 - ['new_game']");
  rows[14] = {"new_game", ""};
  rows[32] = {"c1", "Anna", "Hello."};
  expect_failure("Row expects 4 columns and has 3 cols: 33 - ['c1', 'Anna', 'Hello.']");
}

TEST_F(Csv2DatDamage, BlankIdCell) {
  rows[32][0] = " ";
  expect_failure("CSV [SECTION] no ID column data: 33 - [' ', 'Anna', 'Hello.', '']");
}

TEST_F(Csv2DatDamage, EmptyIdCellIsSkipped) {
  rows[33][0] = "";
  const DialogueRead r = csv_2_dat(rows);
  ASSERT_FALSE(r.failed());
  EXPECT_EQ(r.data["text_lut"]["c1"], lines({"Hello."}));
}

TEST_F(Csv2DatDamage, BlankSpeakerCell) {
  rows[36][1] = "\u3000";
  expect_failure("CSV [SECTION] no Speaker column data: 37 - ['c2', '\\u3000', '(wind)', '']");
}

TEST_F(Csv2DatDamage, BlankDescriptionItemCell) {
  rows[27][1] = "";
  expect_failure("CSV [SECTION] no Speaker column data: 28 - ['key', '', 'Shiny.', '']");
}

TEST_F(Csv2DatDamage, ItemWithoutIdOrName) {
  rows[22][0] = "\t";
  expect_failure("CSV [ITEMS] no ID column data: 23 - ['\\t', 'Map', '']");
  rows[22] = {"map", " ", ""};
  expect_failure("CSV [ITEMS] no English column data: 23 - ['map', ' ', '']");
}

TEST_F(Csv2DatDamage, FontSizeThatIsNoNumber) {
  rows[4][2] = "28px";
  expect_failure("CSV [LANGUAGE] Font Size is not a number: 5 - ['English', 'GameFont', '28px']");
}

TEST_F(Csv2DatDamage, SectionRowWithoutKey) {
  rows[30] = {"Section"};
  expect_failure("CSV [SECTION] no section key: 31 - ['Section']");
  rows[30] = {"Section", " "};
  expect_failure("CSV [SECTION] no section key: 31 - ['Section', ' ']");
}

TEST_F(Csv2DatDamage, RowOutsideAnyBlock) {
  // A second version line: the version block takes one row only.
  rows.insert(rows.begin() + 2, {"v2"});
  expect_failure("CSV row outside of any block: 3 - ['v2']");
  rows = {{"notes", "for the team"}};
  expect_failure("CSV row outside of any block: 1 - ['notes', 'for the team']");
}

TEST_F(Csv2DatDamage, WithoutWindowTheProcessEnds) {
  rows[10] = {"ok", "OK"};
  const std::string dir = utils.LOG_PATH;
  EXPECT_EXIT(
      {
        utils.CSH_WAIT = false;
        csv_2_dat(rows);
      },
      ::testing::ExitedWithCode(1), "");
  std::string log;
  for (const auto& f : std::filesystem::directory_iterator(dir))
    log += testing::read_bytes(f.path().string());
  EXPECT_NE(log.find("ERROR (1): Row expects 3 columns and has 2 cols: 11 - ['ok', 'OK']"),
            std::string::npos)
      << log;
}

// Rows shuffled together from block headers, choice and dialogue rows, repeated ids and
// section keys and blank cells: the reader keeps lists of the record open between rows, so
// every order must end in a record or in exactly one reported fault.
TEST(Csv2Dat, AnyOrderOfRowsEndsInARecordOrOneFault) {
  const std::vector<CsvRow> pool = {
      {"Section", "a.json"},
      {"Section", "b.json"},
      {"ID", "Source", "English", "Translation"},
      {"c1", "X", "one", ""},
      {"c2", "X", "two", "deux"},
      {"o1", "CHOICE(1)", "Yes", ""},
      {"o2", "CHOICE(2)", "No", ""},
      {"c1", "CHOICE(3)", "again", ""},
      {"format", "X", "a content id named like the meta's first key", ""},
      {"Descriptions", "Item", "English", "Translation"},
      {"key", "Key", "Old.", ""},
      {"Speakers", "English", "Translation"},
      {"X", "Ex", ""},
      {"Labels", "English", "Translation"},
      {"format", "F", ""},
      {"c1", "C", "c"},
      {"Credit 1", "Credit 2", "Credit 3"},
      {"", "b", "c"},
      {},
      {"", ""},
      {" ", "X", "x", ""},
  };
  std::mt19937 rng(7);
  int failures = 0;
  for (int round = 0; round < 2000; ++round) {
    CsvTable rows;
    const auto count = rng() % 30;
    for (unsigned i = 0; i < count; ++i) rows.push_back(pool[rng() % pool.size()]);
    RecordingWindow app;
    const DialogueRead r = csv_2_dat(rows, &app);
    if (r.failed()) {
      ++failures;
      ASSERT_EQ(app.calls.size(), 3u) << round;
    } else {
      ASSERT_TRUE(app.calls.empty()) << round;
      ASSERT_TRUE(data_is_valid(r.data));
      // Every entry of every section names content that the record holds.
      for (const auto& [key, entries] : r.data["sections"].as_map())
        for (const Value& e : entries.as_list())
          for (const Value& id : e["text"].as_list())
            ASSERT_TRUE(r.data["text_lut"].find(id.as_text())) << round << " " << key;
    }
  }
  EXPECT_GT(failures, 0);
  EXPECT_LT(failures, 2000);
}

// ---------------------------------------------------------------------------------------
// Row descriptions

TEST(RowDescription, QuotesAsPythonDoes) {
  const struct {
    CsvRow row;
    std::string shown;
  } cases[] = {
      {{}, "[]"},
      {{"a", "b"}, "['a', 'b']"},
      {{"it's"}, "[\"it's\"]"},
      {{"say \"hi\""}, "['say \"hi\"']"},
      {{"it's \"x\""}, "['it\\'s \"x\"']"},
      {{"C:\\dir"}, "['C:\\\\dir']"},
      {{"a\tb\nc\rd"}, "['a\\tb\\nc\\rd']"},
      {{std::string("\0\x1b\x7f", 3)}, "['\\x00\\x1b\\x7f']"},
      {{"\u00a0\u00ad\u3000\u2028\ufeff"}, "['\\xa0\\xad\\u3000\\u2028\\ufeff']"},
      {{"caf\u00e9 \u82b1\u5b50 \U0001F408"}, "['caf\u00e9 \u82b1\u5b50 \U0001F408']"},
      {{"\U000E0001\U0010FFFF"}, "['\\U000e0001\\U0010ffff']"},
      {{"\xff"
        "a\xc3"},
       "['\\xffa\\xc3']"},
  };
  for (const auto& c : cases) EXPECT_EQ(csv_row_description(7, c.row), "7 - " + c.shown);
}

}  // namespace
}  // namespace verbix
