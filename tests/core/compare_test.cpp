// The fingerprint of a record's ids, the check of a translation against the game's data
// before a build, and hashed image paths.
#include "data/compare.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "data/container.h"
#include "data/language_data.h"
#include "record_builders.h"
#include "recording_window.h"
#include "test_support.h"

namespace verbix {
namespace {
using testing::entry;

using testing::RecordingWindow;

// SHA-256 of the empty text.
constexpr std::string_view kEmptyDigest =
    "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";

// A small game record with a stamp of its own fingerprint.
Value game_record(std::string_view label = "Episode 4 v1.2.0") {
  Value rec = data_new();
  rec["sys_lbls"] = Value(Map{{"ok", "OK"}, {"back", "Back"}});
  rec["sys_menu"] = Value(Map{{"start", "Start"}});
  rec["actr_lut"] = Value(Map{{"bob", "Bob"}, {"mute", ""}});
  rec["item_lut"] = Value(Map{{"key_001", "Key"}});
  rec["text_lut"] = Value(Map{{"key_001", List{"A key."}}, {"c1", List{"Hi."}}});
  rec["img_data"] =
      Value(Map{{"img/ui/title", Value::bytes("png1")}, {"img/!icon", Value::bytes("png2")}});
  rec["sections"] =
      Value(Map{{"ch01.json", Value(List{entry("bob", {"c1"})})}, {"ch02.json", Value::list()}});
  rec["ver_hash"] = std::string(label) + " : " + data_hash(rec);
  return rec;
}

// -- data_hash --

TEST(DataHash, EmptyRecordHashesEmptyTexts) {
  EXPECT_EQ(data_hash(data_new()),
            std::string(kEmptyDigest.substr(0, 16)) + std::string(kEmptyDigest.substr(0, 4)));
  EXPECT_EQ(data_hash(Value("not a map")), data_hash(data_new()));
}

TEST(DataHash, SortedUniqueIdsConcatenated) {
  const Value rec = game_record();
  // Ids in code-point order; key_001 stands in two maps and counts once.
  const std::string content =
      std::string("back") + "bob" + "c1" + "key_001" + "mute" + "ok" + "start";
  const std::string images = std::string("img/!icon") + "img/ui/title";
  EXPECT_EQ(data_hash(rec), hash_string(content, 16) + hash_string(images, 4));
}

TEST(DataHash, CodePointOrderNotSignedBytes) {
  // "é" (0xC3 0xA9) sorts after "z": bytes compare unsigned.
  Value rec = data_new();
  rec["sys_lbls"] = Value(Map{{"\xC3\xA9", ""}, {"z", ""}});
  EXPECT_EQ(data_hash(rec).substr(0, 16), hash_string("z\xC3\xA9", 16));
}

TEST(DataHash, OnlyIdsCount) {
  const std::string base = data_hash(game_record());
  struct Change {
    const char* what;
    void (*apply)(Value&);
    bool content_changes;
    bool images_change;
  };
  const Change changes[] = {
      {"texts", [](Value& r) { r["text_lut"]["c1"] = List{"Other."}; }, false, false},
      {"names", [](Value& r) { r["actr_lut"]["bob"] = "Robert"; }, false, false},
      {"language", [](Value& r) { r["lng_name"] = "Deutsch"; }, false, false},
      {"font",
       [](Value& r) {
         r["fnt_face"] = "Arial";
         r["fnt_size"] = 12;
       },
       false, false},
      {"font data", [](Value& r) { r["fnt_data"] = Value::bytes("ttf"); }, false, false},
      {"credits",
       [](Value& r) {
         r["lng_info"] = List{"a", "b", "c"};
       },
       false, false},
      {"sections", [](Value& r) { r["sections"] = Value::map(); }, false, false},
      {"image bytes", [](Value& r) { r["img_data"]["img/!icon"] = Value::bytes("x"); }, false,
       false},
      {"label moved to menus",
       [](Value& r) {
         r["sys_lbls"].as_map().erase("ok");
         r["sys_menu"]["ok"] = "OK";
       },
       false, false},
      {"one label more", [](Value& r) { r["sys_lbls"]["new"] = "New"; }, true, false},
      {"one text less", [](Value& r) { r["text_lut"].as_map().erase("c1"); }, true, false},
      {"one image more", [](Value& r) { r["img_data"]["img/x"] = Value::bytes(""); }, false, true},
  };
  for (const Change& c : changes) {
    Value rec = game_record();
    c.apply(rec);
    const std::string h = data_hash(rec);
    ASSERT_EQ(h.size(), 20u);
    EXPECT_EQ(h.substr(0, 16) != base.substr(0, 16), c.content_changes) << c.what;
    EXPECT_EQ(h.substr(16) != base.substr(16), c.images_change) << c.what;
  }
}

TEST(DataHash, AnyMapOutsideSectionsCountsKeysWithImgAreImages) {
  Value rec = data_new();
  rec["extra"] = Value(Map{{"x", 1}});
  rec["my_img_set"] = Value(Map{{"y", 1}});
  EXPECT_EQ(data_hash(rec), hash_string("x", 16) + hash_string("y", 4));
}

// -- data_compare --

class DataCompare : public testing::UtilsTest {
 protected:
  bool logged(std::string_view line) const {
    return std::find(utils._output.begin(), utils._output.end(), line) != utils._output.end();
  }
};

TEST_F(DataCompare, SameIdsPassAndStampTheTranslation) {
  const Value game = game_record();
  Value mine = game_record();
  mine["ver_hash"] = "Episode 4 v1.2.0 : stale";
  mine["text_lut"]["c1"] = List{"Salut."};
  RecordingWindow app;
  EXPECT_TRUE(data_compare(mine, game, &app));
  EXPECT_EQ(mine["ver_hash"], game["ver_hash"]);
  EXPECT_TRUE(app.calls.empty());
}

TEST_F(DataCompare, FailuresStopWithTheirMessage) {
  struct Case {
    const char* what;
    void (*damage)(Value& mine, Value& game);
    std::string message;
    bool stamped;  // whether the translation's stamp was replaced before the failure
  };
  const Case cases[] = {
      {"translation invalid", [](Value& m, Value&) { m.as_map().erase("fnt_data"); },
       "Target dialogue is corrupt.\nTry updating.", false},
      {"game invalid", [](Value&, Value& g) { g = Value::map(); },
       "Current dialogue data format is invalid.", false},
      {"another label",
       [](Value& m, Value&) { m["ver_hash"] = "Episode 4 v1.3.0 : " + data_hash(m); },
       "\nVersion not supported: Episode 4 v1.3.0 : " + data_hash(game_record()) +
           " != Episode 4 v1.2.0 : " + data_hash(game_record()),
       false},
      {"a speaker missing", [](Value& m, Value&) { m["actr_lut"].as_map().erase("mute"); }, "",
       false},
      {"a section missing", [](Value& m, Value&) { m["sections"].as_map().erase("ch02.json"); },
       "Target dialogue is missing content.\nTry updating.", true},
      {"sections not a map", [](Value& m, Value&) { m["sections"] = Value::list(); },
       "Target dialogue is missing content.\nTry updating.", true},
  };
  for (const Case& c : cases) {
    Value game = game_record();
    Value mine = game_record();
    mine["ver_hash"] = "Episode 4 v1.2.0 : old";
    c.damage(mine, game);
    const Value before = mine.find("ver_hash") ? mine["ver_hash"] : Value();
    RecordingWindow app;
    EXPECT_FALSE(data_compare(mine, game, &app)) << c.what;
    if (!c.message.empty()) {
      EXPECT_EQ(app.calls, std::vector<std::string>{"log: " + c.message}) << c.what;
    } else {
      ASSERT_EQ(app.calls.size(), 1u) << c.what;
      EXPECT_TRUE(app.calls[0].starts_with("log: \nVersion not supported: ")) << app.calls[0];
    }
    if (mine.find("ver_hash")) {
      if (c.stamped)
        EXPECT_EQ(mine["ver_hash"], game["ver_hash"]) << c.what;
      else
        EXPECT_EQ(mine["ver_hash"], before) << c.what;
    }
  }
}

TEST_F(DataCompare, VersionNotAvailableGoesToTheLogOnly) {
  for (const Value& stamp : {Value(""), Value("no colon"), Value()}) {
    const Value game = game_record();
    Value mine = game_record();
    mine["ver_hash"] = stamp;
    RecordingWindow app;
    EXPECT_FALSE(data_compare(mine, game, &app)) << stamp;
    EXPECT_TRUE(app.calls.empty()) << stamp;
    EXPECT_TRUE(logged("Version N/A. Dialogue file may predate Episode 3.")) << stamp;
    EXPECT_EQ(mine["ver_hash"], stamp);
  }
}

TEST_F(DataCompare, LabelIsTheStampUpToItsFirstSeparator) {
  const Value game = game_record("v1 : beta");
  Value mine = game_record();
  mine["ver_hash"] = "v1 : beta : whatever";
  // The label "v1" gives "v1 : <hash>", which is not "v1 : beta : <hash>".
  EXPECT_FALSE(data_compare(mine, game));
  Value other = game_record();
  other["ver_hash"] = "v1:x";  // no " : ": the whole text is the label
  const Value game2 = game_record("v1:x");
  EXPECT_TRUE(data_compare(other, game2));
  EXPECT_EQ(other["ver_hash"], game2["ver_hash"]);
}

TEST_F(DataCompare, MissingImagesWithoutWindowWarnAndPass) {
  const Value game = game_record();
  Value mine = game_record();
  mine["img_data"].as_map().erase("img/!icon");
  EXPECT_TRUE(data_compare(mine, game));
  EXPECT_TRUE(logged("WARNING: Images missing."));
  EXPECT_EQ(mine["ver_hash"].as_text(), "Episode 4 v1.2.0 : " + data_hash(mine));
  EXPECT_NE(mine["ver_hash"], game["ver_hash"]);
}

TEST_F(DataCompare, MissingImagesWithWindowAsk) {
  const std::string question = "yes/no [Confirm]: Images missing.\n\nDo you want to build anyway?";
  for (bool yes : {true, false}) {
    const Value game = game_record();
    Value mine = game_record();
    mine["ver_hash"] = "Episode 4 v1.2.0 : old";
    mine["img_data"]["img/extra"] = Value::bytes("");
    RecordingWindow app(yes);
    EXPECT_EQ(data_compare(mine, game, &app), yes);
    if (yes) {
      EXPECT_EQ(app.calls, std::vector<std::string>{question});
      EXPECT_EQ(mine["ver_hash"].as_text(), "Episode 4 v1.2.0 : " + data_hash(mine));
    } else {
      EXPECT_EQ(app.calls, (std::vector<std::string>{question, "log: \nCanceling build."}));
      EXPECT_EQ(mine["ver_hash"], Value("Episode 4 v1.2.0 : old"));
    }
    EXPECT_FALSE(logged("WARNING: Images missing."));
  }
}

TEST_F(DataCompare, ExtraContentAndGameImagesAreNotRequired) {
  const Value game = game_record();
  Value mine = game_record();
  mine["sections"]["dlc.json"] = Value::list();  // sections are outside the fingerprint
  EXPECT_TRUE(data_compare(mine, game));
}

TEST_F(DataCompare, ShortReferenceStampCountsAsEmpty) {
  Value game = game_record();
  game["ver_hash"] = "abc";
  Value mine = game_record();
  RecordingWindow app;
  EXPECT_FALSE(data_compare(mine, game, &app));
  EXPECT_EQ(app.calls,
            std::vector<std::string>{"log: \nVersion not supported: " +
                                     std::string(mine["ver_hash"].as_text()) + " != abc"});
}

// -- hash_path --

TEST(HashPath, Table) {
  struct Case {
    const char* path;
    long long len;
    std::string expected;
  };
  const Case cases[] = {
      {"a\\b/c.png", 16, "a/b/" + hash_string("a/b/c.png", 16)},
      {"img/!icon.png", 16, "img/!" + hash_string("img/!icon.png", 16)},
      {"img/chars/anna[bust].png", 8,
       "img/chars/" + hash_string("img/chars/anna[bust].png", 8) + "[BUST]"},
      {"img\\!x[BuSt]", 4, "img/!" + hash_string("img/!x[BuSt]", 4) + "[BUST]"},
      {"plain", 16, hash_string("plain", 16)},
      {"a//b/", 16, "a//b/" + hash_string("a//b/", 16)},  // empty parts stay
      {"", 3, hash_string("", 3)},
  };
  for (const Case& c : cases) EXPECT_EQ(hash_path(c.path, c.len), c.expected) << c.path;
  EXPECT_EQ(hash_path("x/y"), hash_path("x/y", 16));
}

}  // namespace
}  // namespace verbix
