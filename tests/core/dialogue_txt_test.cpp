// The TXT form: the writer's exact layout, the reader's value rules and line numbers, round
// trips, and the reader's failures with their messages, with and without a window.
#include "data/dialogue_txt.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "data/language_data.h"
#include "record_builders.h"
#include "recording_window.h"
#include "test_support.h"
#include "utils/paths.h"

namespace verbix {
namespace {
using testing::entry;
using testing::lines;
using testing::pair;

using testing::RecordingWindow;

// Keys of a map in their order.
std::vector<std::string> keys_of(const Value& v) {
  std::vector<std::string> keys;
  for (const auto& entry : v.as_map()) keys.push_back(entry.key());
  return keys;
}

Value pairs(std::initializer_list<Value> items) { return Value(List(items)); }

// Tests that read dialogue sections: their keys are in SECTIONS, as after start-up.
class Txt : public testing::UtilsTest {
 protected:
  void SetUp() override {
    UtilsTest::SetUp();
    saved_ = SECTIONS.size();
    SECTIONS.push_back("ch01.json");
    SECTIONS.push_back("ch02.JSON");
  }
  void TearDown() override {
    SECTIONS.resize(saved_);
    UtilsTest::TearDown();
  }

  // Whether the log service received the line.
  bool logged(std::string_view line) const {
    return std::find(utils._output.begin(), utils._output.end(), line) != utils._output.end();
  }

 private:
  std::size_t saved_ = 0;
};

// A record with a bit of everything the formats carry.
Value sample_record() {
  Value rec = data_new();
  rec["ver_hash"] = "Episode 4 v1.2.0 : 0123456789abcdef0123";
  rec["lng_name"] = "Français";
  rec["lng_info"] = lines({"Story: the team", "Texte : Zoé", ""});
  rec["fnt_face"] = "Courier New";
  rec["fnt_size"] = 32;
  rec["sys_lbls"] = Value(Map{{"ok", "OK"}, {"back", " Back "}, {"slot", "Slot %d: %s"}});
  rec["sys_menu"] = Value(Map{{"a", "x"}, {"long_key", "\xE3\x80\x80indented"}});
  rec["actr_lut"] = Value(Map{{"bob", "Bob"}, {"mute", ""}, {"eve", "Eve (old)"}, {"ann", "Ann "}});
  rec["item_lut"] = Value(Map{{"key_001", "Brass Key (sealed)"}, {"map_001", "Map"}});
  rec["text_lut"] = Value(Map{
      {"key_001", lines({"Opens: something.", "  Indented."})},
      {"map_001", lines({})},
      {"c1", lines({"Hello: there.", " Leading blank.", "Trailing blank. "})},
      {"o1", lines({"Yes : sure"})},
      {"o2", lines({"  Leave (quietly)  "})},
      {"c2", lines({"Narrated."})},
      {"c3", lines({"Old words."})},
      {"c4", lines({"Ann speaks."})},
  });
  rec["sections"] = Value(Map{
      {"ch01.json",
       Value(List{entry("bob", {"c1"}), entry("[CHOICES]", {"o1", "o2"}), entry("", {"c2"})})},
      {"ch02.JSON", Value(List{entry("eve", {"c3"}), entry("ann", {"c4"})})},
  });
  return rec;
}

// -- sort_values --

TEST(SortValues, ByLengthThenTextEqualValuesKeepOrder) {
  const Map sorted = sort_values(Map{{"k1", "bb"}, {"k2", "a"}, {"k3", "ab"}, {"k4", "a"}});
  EXPECT_EQ(keys_of(Value(sorted)), (std::vector<std::string>{"k2", "k4", "k3", "k1"}));
}

TEST(SortValues, LengthCountsCodePointsAndTextFormsOfOtherValues) {
  // "é" is two bytes but one code point; 7 sorts as "7", None as "None".
  const Map sorted =
      sort_values(Map{{"n", nullptr}, {"ab", "ab"}, {"e", "\xC3\xA9"}, {"seven", 7}, {"z", "Z"}});
  EXPECT_EQ(keys_of(Value(sorted)), (std::vector<std::string>{"seven", "z", "e", "ab", "n"}));
  EXPECT_EQ(sorted.at("seven"), Value(7));
}

// -- Writer layout --

TEST(TxtWriter, EmptyRecordWithOneMenu) {
  Value rec = data_new();
  rec["sys_menu"] = Value(Map{{"start", "Start"}});
  EXPECT_EQ(dat_2_txt(rec),
            "[VERSION]\n\n\n[LANGUAGE]\nEnglish\n\n[FONT]\nFile : GameFont\nSize : 28\n\n"
            "[CREDITS]\n1 : \n2 : \n3 : \n\n[LABELS]\n\n[MENUS]\nstart : Start\n\n"
            "[SPEAKERS]\n\n[ITEMS]\n\n[DESCRIPTIONS]\n");
}

TEST(TxtWriter, WholeSampleRecord) {
  // Menu colons line up (padding counts code points), speakers and items in sort_values
  // order, nameless and unknown speakers shown as "Narrator", the nameless speaker listed.
  EXPECT_EQ(dat_2_txt(sample_record()),
            "[VERSION]\nEpisode 4 v1.2.0 : 0123456789abcdef0123\n\n"
            "[LANGUAGE]\nFrançais\n\n"
            "[FONT]\nFile : Courier New\nSize : 32\n\n"
            "[CREDITS]\n1 : Story: the team\n2 : Texte : Zoé\n3 : \n\n"
            "[LABELS]\nok : OK\nback :  Back \nslot : Slot %d: %s\n\n"
            "[MENUS]\na        : x\nlong_key : \xE3\x80\x80indented\n\n"
            "[SPEAKERS]\n#mute : \n#bob : Bob\n#ann : Ann \n#eve : Eve (old)\n\n"
            "[ITEMS]\n#map_001 : Map\n#key_001 : Brass Key (sealed)\n\n"
            "[DESCRIPTIONS]\n"
            "\n#map_001 (Map)\n"
            "\n#key_001 (Brass Key (sealed))\n: Opens: something.\n:   Indented.\n"
            "\n\n[ch01.json]\n"
            "\n#c1 (Bob)\n: Hello: there.\n:  Leading blank.\n: Trailing blank. \n"
            "\n[CHOICES]\n#o1 : Yes : sure\n#o2 :   Leave (quietly)  \n"
            "\n#c2 (Narrator)\n: Narrated.\n"
            "\n\n[ch02.JSON]\n"
            "\n#c3 (Eve (old))\n: Old words.\n"
            "\n#c4 (Ann )\n: Ann speaks.\n");
}

TEST(TxtWriter, RecordsWithoutADefinedOutput) {
  Value rec = data_new();
  rec["lng_info"] = lines({"only one"});  // missing credits are written empty
  rec["actr_lut"] = Value(Map{{"mute", ""}, {"bob", "Bob"}});
  rec["text_lut"] = Value(Map{{"o2", lines({})}, {"c1", lines({"x"})}});
  rec["sections"] =
      Value(Map{{"s.json", Value(List{entry("mute", {}),  // no content id: left out
                                      entry("mute", {"c1"}), entry("[CHOICES]", {"o1", "o2"})})}});
  const std::string txt = dat_2_txt(rec);
  EXPECT_NE(txt.find("[CREDITS]\n1 : only one\n2 : \n3 : \n"), std::string::npos) << txt;
  EXPECT_NE(txt.find("[MENUS]\n\n[SPEAKERS]\n#mute : \n#bob : Bob\n"), std::string::npos) << txt;
  // A missing option text shows "N/A"; an empty one is written empty.
  EXPECT_EQ(txt.substr(txt.find("\n\n[s.json]")),
            "\n\n[s.json]\n\n#c1 (Narrator)\n: x\n\n[CHOICES]\n#o1 : N/A\n#o2 : \n");
}

TEST(TxtWriter, InvalidRecordReportsAndGivesNoText) {
  Value bad_shape = data_new();
  bad_shape["item_lut"] = Value::list();  // passes the validity check, is no table
  Value bad_entry = data_new();
  bad_entry["sections"] = Value(Map{{"s.json", Value(List{Value("not an entry")})}});
  for (const Value& bad : {Value(Map{}), Value("text"), bad_shape, bad_entry}) {
    RecordingWindow app;
    EXPECT_EQ(dat_2_txt(bad, &app), "") << bad;
    EXPECT_EQ(app.calls, RecordingWindow::error_calls("Invalid data to create TXT.")) << bad;
  }
}

using TxtWriterDeathTest = testing::UtilsTest;

TEST_F(TxtWriterDeathTest, InvalidRecordWithoutWindowEndsTheProcess) {
  utils.CSH_WAIT = false;
  EXPECT_EXIT(dat_2_txt(Value::map()), ::testing::ExitedWithCode(1), "");
}

// -- Round trips --

TEST_F(Txt, RoundTripGivesEveryFieldBack) {
  const Value rec = sample_record();
  const DialogueRead back = txt_2_dat(dat_2_txt(rec));
  ASSERT_FALSE(back.failed());
  for (const char* key : {"ver_hash", "lng_name", "lng_info", "fnt_face", "fnt_size", "sys_lbls",
                          "sys_menu", "actr_lut", "item_lut", "text_lut"})
    EXPECT_EQ(back.data[key], rec[key]) << key;
  // Blocks of the nameless speaker and of no speaker both come back with the empty id.
  EXPECT_EQ(back.data["sections"], rec["sections"]);
  EXPECT_EQ(keys_of(back.data), keys_of(data_new()));
  EXPECT_EQ(keys_of(back.data["sections"]), (std::vector<std::string>{"ch01.json", "ch02.JSON"}));
  EXPECT_EQ(back.data["fnt_data"], Value());
  EXPECT_EQ(back.data["img_data"], Value::map());
}

TEST_F(Txt, RoundTripKeepsEmptySections) {
  Value rec = data_new();
  rec["sections"] = Value(Map{{"ch01.json", Value::list()}, {"ch02.JSON", Value::list()}});
  const DialogueRead back = txt_2_dat(dat_2_txt(rec));
  EXPECT_EQ(back.data["sections"], rec["sections"]);
}

TEST_F(Txt, MetaNamesTheLineOfEveryKeyAndBlock) {
  const DialogueRead back = txt_2_dat(dat_2_txt(sample_record()));
  const Value meta = back.meta.to_value();
  EXPECT_EQ(keys_of(meta).front(), "format");
  EXPECT_EQ(meta["format"], Value("TXT"));
  EXPECT_EQ(meta["ok"], pairs({pair(17, "OK")}));
  EXPECT_EQ(meta["long_key"], pairs({pair(23, "\xE3\x80\x80indented")}));
  EXPECT_EQ(meta["mute"], pairs({pair(26, "")}));
  // An item: its name in [ITEMS], then its description block.
  EXPECT_EQ(meta["key_001"],
            pairs({pair(33, "Brass Key (sealed)"), pair(39, "Opens: something.\n  Indented.")}));
  EXPECT_EQ(meta["map_001"], pairs({pair(32, "Map"), pair(37, "")}));
  EXPECT_EQ(meta["c1"], pairs({pair(46, "Hello: there.\n Leading blank.\nTrailing blank. ")}));
  EXPECT_EQ(meta["o1"], pairs({pair(52, "Yes : sure")}));
  EXPECT_EQ(meta["o2"], pairs({pair(53, "  Leave (quietly)  ")}));
  EXPECT_EQ(meta["c2"], pairs({pair(55, "Narrated.")}));
  EXPECT_EQ(meta["c4"], pairs({pair(64, "Ann speaks.")}));
}

// -- Reader: the value rules of each kind of line --

TEST_F(Txt, TableLinesKeepAllButOneLeadingBlank) {
  struct Case {
    const char* line;
    const char* key;
    const char* value;
  };
  const Case cases[] = {
      {"k:v", "k", "v"},
      {"k :  v", "k", " v"},
      {"  ##k\t: v ", "k", "v "},
      {"k : \xE3\x80\x80v", "k", "\xE3\x80\x80v"},
      {"k :\xE3\x80\x80v", "k", "v"},  // U+3000 is the one white space removed
      {"k : a : b", "k", "a : b"},
      {"k :", "k", ""},
  };
  for (const Case& c : cases) {
    const DialogueRead r = txt_2_dat(std::string("[LABELS]\n") + c.line + "\nno colon here\n");
    EXPECT_EQ(r.data["sys_lbls"], Value(Map{{c.key, c.value}})) << c.line;
    EXPECT_EQ(r.meta.to_value()[c.key], pairs({pair(2, c.value)})) << c.line;
  }
}

TEST_F(Txt, ContentLinesLoseTheirColonsAndOneBlank) {
  struct Case {
    const char* line;
    const char* text;
  };
  const Case cases[] = {
      {": x", "x"},       {":: x", "x"}, {":  x", " x"},
      {":x", "x"},        {": ", ""},    {":\xE3\x80\x80x", "\xE3\x80\x80x"},
      {": a: b", "a: b"},
  };
  for (const Case& c : cases) {
    const DialogueRead r = txt_2_dat(std::string("[ch01.json]\n#c1 (N)\n") + c.line + "\n");
    EXPECT_EQ(r.data["text_lut"]["c1"], lines({c.text})) << c.line;
  }
}

TEST_F(Txt, FontAndCreditsKeepEverythingAfterTheFirstColon) {
  const DialogueRead r = txt_2_dat(
      "[FONT]\nFile : Noto: Bold \nSize :  40 \n[CREDITS]\n1 : Story: Mara\n2 :x\n3 no colon\n");
  EXPECT_EQ(r.data["fnt_face"], Value("Noto: Bold"));
  EXPECT_EQ(r.data["fnt_size"], Value(40));
  EXPECT_EQ(r.data["lng_info"], lines({"Story: Mara", "x", "3 no colon"}));
}

TEST_F(Txt, SpeakersAreFoundByDisplayName) {
  const DialogueRead r = txt_2_dat(
      "[SPEAKERS]\n#s1 : Bob\n#s2 : Eve (old)\n#s3 : Twin\n#s4 : Twin\n[ch01.json]\n"
      "#c1 (Bob)\n#c2 (Nobody)\n#c3 (Eve (old))\n#c4 (Twin)\n#c5 (Narrator)\n");
  EXPECT_EQ(r.data["sections"]["ch01.json"],
            Value(List{entry("s1", {"c1"}), entry("", {"c2"}), entry("s2", {"c3"}),
                       entry("s4", {"c4"}), entry("", {"c5"})}));
}

TEST_F(Txt, VersionAndLanguageTakeTheNextLineWhole) {
  const DialogueRead r = txt_2_dat("\n[VERSION]\n\n  v1 : abc \n[LANGUAGE]\n Deutsch: DE\n");
  EXPECT_EQ(r.data["ver_hash"], Value("  v1 : abc "));
  EXPECT_EQ(r.data["lng_name"], Value(" Deutsch: DE"));
}

TEST_F(Txt, TextWithoutTagsGivesAnEmptyRecord) {
  const DialogueRead r = txt_2_dat("just words\n#c1 (Bob)\n: line\n");
  EXPECT_EQ(r.data, data_new());
  EXPECT_EQ(r.meta.to_value(), Value(Map{{"format", "TXT"}}));
}

// -- Reader: the choice blocks and the pairs of DialogueMeta --

TEST_F(Txt, ChoiceBlocksAndTheirPairs) {
  const std::string text =
      "[SPEAKERS]\n"              // 1
      "#s1 : Bob\n"               // 2
      "[ch01.json]\n"             // 3
      "#c1 (Bob)\n"               // 4
      ": one\n"                   // 5
      ": two\n"                   // 6
      "[CHOICES]\n"               // 7
      "#o1 : Yes : sure\n"        // 8
      "#o2 :  Leave (quietly)\n"  // 9
      "#c2 (Narrator)\n"          // 10
      ": three\n"                 // 11
      "[ch02.JSON]\n"             // 12
      "#c3 (Bob)\n"               // 13
      "\n"                        // 14
      "#c4 (Bob)\n"               // 15
      ": four";                   // 16
  const DialogueRead r = txt_2_dat(text);
  EXPECT_EQ(
      r.data["sections"],
      Value(Map{{"ch01.json", Value(List{entry("s1", {"c1"}), entry("[CHOICES]", {"o1", "o2"}),
                                         entry("", {"c2"})})},
                {"ch02.JSON", Value(List{entry("s1", {"c3"}), entry("s1", {"c4"})})}}));
  EXPECT_EQ(r.data["text_lut"], Value(Map{{"c1", lines({"one", "two"})},
                                          {"o1", lines({"Yes : sure"})},
                                          {"o2", lines({" Leave (quietly)"})},
                                          {"c2", lines({"three"})},
                                          {"c3", lines({})},
                                          {"c4", lines({"four"})}}));
  EXPECT_EQ(r.meta.to_value(), Value(Map{{"format", "TXT"},
                                         {"s1", pairs({pair(2, "Bob")})},
                                         {"c1", pairs({pair(4, "one\ntwo")})},
                                         {"o1", pairs({pair(8, "Yes : sure")})},
                                         {"o2", pairs({pair(9, " Leave (quietly)")})},
                                         {"c2", pairs({pair(10, "three")})},
                                         {"c3", pairs({pair(13, "")})},
                                         {"c4", pairs({pair(15, "four")})}}));
  EXPECT_EQ(keys_of(r.meta.to_value()),
            (std::vector<std::string>{"format", "s1", "c1", "o1", "o2", "c2", "c3", "c4"}));
}

TEST_F(Txt, EveryOccurrenceOfABlockGetsItsOwnPair) {
  const DialogueRead r =
      txt_2_dat("[DESCRIPTIONS]\n#i1 (x)\n: a\n#i1 (x)\n: b\n[ch01.json]\n#c1 (N)\n: c\n");
  EXPECT_EQ(r.meta.to_value()["i1"], pairs({pair(2, "a"), pair(4, "b")}));
  EXPECT_EQ(r.data["text_lut"]["i1"], lines({"b"}));  // the last occurrence's lines
  EXPECT_EQ(r.meta.to_value()["c1"], pairs({pair(7, "c")}));
}

TEST_F(Txt, AnyBracketedNameWithoutJsonIsAChoiceMarkerInDialogue) {
  const DialogueRead r = txt_2_dat("[ch01.json]\n[ OPTIONS ]\n#o1 : a\n[VERSION]\n#o2 : b\n");
  EXPECT_EQ(r.data["sections"]["ch01.json"],
            Value(List{entry("[CHOICES]", {"o1"}), entry("[CHOICES]", {"o2"})}));
  EXPECT_EQ(r.data["ver_hash"], Value(""));
}

TEST_F(Txt, UnknownTagSkipsToTheNextKnownOne) {
  const DialogueRead r = txt_2_dat(
      "[LABELS]\na : 1\n[NOTES]\nb : 2\n[CHOICES]\nc : 3\n[LABELS]\nd : 4\n"
      "[ch01.json]\n#c1 (N)\n: kept\n[other.json]\n#c2 (N)\n: lost\n[CHOICES]\n#o1 : lost\n"
      "[ch02.JSON]\n#c3 (N)\n: kept\n");
  EXPECT_TRUE(logged("Section tag not recognized [NOTES] at line (3). Skipping..."));
  EXPECT_TRUE(logged("Section tag not recognized [CHOICES] at line (5). Skipping..."));
  EXPECT_TRUE(logged("Section tag not recognized [other.json] at line (12). Skipping..."));
  EXPECT_EQ(r.data["sys_lbls"], Value(Map{{"a", "1"}, {"d", "4"}}));
  // The skipped section's blocks and choices leave nothing behind, not even a section.
  EXPECT_EQ(r.data["sections"], Value(Map{{"ch01.json", Value(List{entry("", {"c1"})})},
                                          {"ch02.JSON", Value(List{entry("", {"c3"})})}}));
  EXPECT_EQ(r.data["text_lut"], Value(Map{{"c1", lines({"kept"})}, {"c3", lines({"kept"})}}));
  EXPECT_EQ(r.meta.to_value()["c1"], pairs({pair(10, "kept")}));
}

TEST_F(Txt, DialogueSectionsNeedTheirKeyInSections) {
  SECTIONS.resize(kFirstDialogueSection);
  const DialogueRead r = txt_2_dat("[ch01.json]\n#c1 (N)\n: x\n");
  EXPECT_TRUE(logged("Section tag not recognized [ch01.json] at line (1). Skipping..."));
  EXPECT_EQ(r.data, data_new());
}

TEST_F(Txt, KeysNamedFormatLeaveTheFormatEntryAlone) {
  const DialogueRead r = txt_2_dat("[LABELS]\nformat : %d/%m\n[ch01.json]\n#format (N)\n: x\n");
  EXPECT_EQ(r.meta.to_value()["format"], Value("TXT"));
  EXPECT_EQ(r.data["sys_lbls"], Value(Map{{"format", "%d/%m"}}));
  EXPECT_EQ(r.data["text_lut"], Value(Map{{"format", lines({"x"})}}));
}

TEST_F(Txt, ByteOrderMarkIsIgnoredAndLinesStillCountFromOne) {
  const DialogueRead r = txt_2_dat("\xEF\xBB\xBF[VERSION]\nv1 : abc\n[LABELS]\nk : v\n");
  EXPECT_EQ(r.data["ver_hash"], Value("v1 : abc"));
  EXPECT_EQ(r.meta.to_value()["k"], pairs({pair(4, "v")}));
}

// -- Reader: failures --

struct Failure {
  const char* name;
  std::string text;
  std::string message;
};

std::vector<Failure> failures() {
  return {
      {"empty", "", "Nothing to parse"},
      {"blank", " \n\t\xE3\x80\x80\n", "Nothing to parse"},
      {"only a byte-order mark", "\xEF\xBB\xBF\n", "Nothing to parse"},
      {"header without ( or :", "[ch01.json]\n#c1 Bob\n", "Unable to split: #c1 Bob"},
      {"content in a choice", "[ch01.json]\n[CHOICES]\n#o1 : a\n: b\n",
       "Parsing dialogue as choice: : b"},
      {"size not a number", "[FONT]\nFile : F\nSize : big\n",
       "Font size is not a number: Size : big"},
      {"blank line before the face", "[FONT]\n\nFile : F\nSize : 28\n",
       "Font size is not a number: File : F"},
      {"credit beyond the third", "[CREDITS]\n\n\n\n1 : a\n", "Credit line out of place: 1 : a"},
  };
}

TEST_F(Txt, FailuresReportThroughTheWindowAndGiveTheFailurePair) {
  for (const Failure& f : failures()) {
    RecordingWindow app;
    const DialogueRead r = txt_2_dat(f.text, &app);
    EXPECT_TRUE(r.failed()) << f.name;
    EXPECT_EQ(r.data, Value::map()) << f.name;
    EXPECT_EQ(r.meta.to_value(), Value::map()) << f.name;
    EXPECT_EQ(app.calls, RecordingWindow::error_calls(f.message)) << f.name;
  }
}

TEST_F(Txt, DamagedWriterOutputFailsWithTheLine) {
  const std::string good = dat_2_txt(sample_record());
  ASSERT_FALSE(txt_2_dat(good).failed());
  struct Damage {
    std::string from, to, message;
  };
  const Damage damages[] = {
      {"#c1 (Bob)", "#c1 Bob", "Unable to split: #c1 Bob"},
      {"#o2 :   Leave (quietly)  \n", "#o2 :   Leave (quietly)  \n: stray\n",
       "Parsing dialogue as choice: : stray"},
      {"Size : 32", "Size : 3 2", "Font size is not a number: Size : 3 2"},
  };
  for (const Damage& d : damages) {
    std::string bad = good;
    bad.replace(bad.find(d.from), d.from.size(), d.to);
    RecordingWindow app;
    EXPECT_TRUE(txt_2_dat(bad, &app).failed()) << d.to;
    EXPECT_EQ(app.calls, RecordingWindow::error_calls(d.message)) << d.to;
  }
}

using TxtDeathTest = Txt;

TEST_F(TxtDeathTest, FailuresWithoutWindowEndTheProcessWithTheMessageLogged) {
  for (const Failure& f : failures()) {
    const std::string dir = tmp / f.name;
    EXPECT_EXIT(
        {
          utils.CSH_WAIT = false;
          utils.log_dir_and_file(dir, "log.txt");
          txt_2_dat(f.text);
        },
        ::testing::ExitedWithCode(1), "")
        << f.name;
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::directory_iterator(fs_path(dir))) files.push_back(e);
    ASSERT_EQ(files.size(), 1u) << f.name;
    const std::string log = testing::read_bytes(path_text(files[0]));
    EXPECT_NE(log.find("ERROR (1): " + f.message), std::string::npos) << log;
  }
}

}  // namespace
}  // namespace verbix
