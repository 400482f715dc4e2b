// The Check and Update workflows on real project folders: a translation of one game version
// checked and updated against the next, with a recording window; the report's lines and
// positions, the files left on disk for each image policy and form, and the refusals.
#include "app/update_project.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "data/container.h"
#include "data/dialogue_csv.h"
#include "data/dialogue_txt.h"
#include "data/language_data.h"
#include "data/sha256.h"
#include "record_builders.h"
#include "recording_window.h"
#include "test_support.h"
#include "utils/file_helpers.h"
#include "utils/paths.h"

namespace verbix {
namespace {
using testing::entry;
using testing::lines;

namespace fs = std::filesystem;
using testing::read_bytes;
using testing::RecordingWindow;
using testing::write_bytes;
using Lines = std::vector<std::string>;

// The game's record in two versions: the second renames "yrrRQ30Q", drops a label and an
// item, adds a label, a speaker and a dialogue block, and changes its images.
Value game(int version) {
  Value rec = data_new();
  rec["fnt_face"] = "GameFont";
  rec["sys_menu"] = Value(Map{{"start", "Start"}});
  if (version == 1) {
    rec["ver_hash"] = "Ep v1 : aaaa";
    rec["sys_lbls"] = Value(Map{{"ok", "OK"}, {"gone_lbl", "Old label"}, {"back", "Back"}});
    rec["actr_lut"] = Value(Map{{"bob", "Bob"}, {"mute", ""}});
    rec["item_lut"] = Value(Map{{"key_001", "Key"}, {"map_001", "Map"}});
    rec["text_lut"] = Value(Map{{"key_001", lines({"A key."})},
                                {"map_001", lines({"A map."})},
                                {"yrrRQ30Q", lines({"Hello."})},
                                {"o1", lines({"Yes"})},
                                {"o2", lines({"No"})},
                                {"c2", lines({"Bye."})}});
    rec["sections"] =
        Value(Map{{"ch01.json", Value(List{entry("bob", {"yrrRQ30Q"}),
                                           entry("[CHOICES]", {"o1", "o2"}), entry("", {"c2"})})}});
    rec["img_data"] =
        Value(Map{{"img/ui/title", Value::bytes("T1")}, {"img/old", Value::bytes("O1")}});
  } else {
    rec["ver_hash"] = "Ep v2 : bbbb";
    rec["sys_lbls"] = Value(Map{{"ok", "OK"}, {"back", "Back"}, {"new_lbl", "New label"}});
    rec["actr_lut"] = Value(Map{{"bob", "Bob"}, {"mute", ""}, {"eve", "Eve"}});
    rec["item_lut"] = Value(Map{{"key_001", "Key"}});
    rec["text_lut"] = Value(Map{{"key_001", lines({"A key."})},
                                {"w7ZvbBvC", lines({"Hello."})},
                                {"o1", lines({"Yes"})},
                                {"o2", lines({"No"})},
                                {"c2", lines({"Bye."})},
                                {"c5", lines({"New one.", "New two."})}});
    rec["sections"] = Value(
        Map{{"ch01.json", Value(List{entry("bob", {"w7ZvbBvC"}), entry("[CHOICES]", {"o1", "o2"}),
                                     entry("", {"c2"}), entry("eve", {"c5"})})}});
    rec["img_data"] =
        Value(Map{{"img/ui/title", Value::bytes("T2")}, {"img/new/banner", Value::bytes("N2")}});
  }
  return rec;
}

// Every non-empty text of the record's tables prefixed "ES ", as a translator leaves it.
Value translated(Value rec) {
  rec["lng_name"] = "Español";
  for (const Field& field : FIELDS)
    for (auto& [key, value] : rec[field.key].as_map()) {
      if (value.is_text() && !value.as_text().empty()) value = "ES " + std::string(value.as_text());
      if (value.is_list())
        for (Value& line : value.as_list()) line = "ES " + std::string(line.as_text());
    }
  return rec;
}

// The 1-based number of the line of `text` that equals `line`, as a text.
std::string line_of(const std::string& text, const std::string& line) {
  size_t number = 1, start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1, ++number)
    if (text.compare(start, end - start, line) == 0) return std::to_string(number);
  ADD_FAILURE() << "no line " << line;
  return "?";
}

Lines tree(const std::string& root) {
  Lines names;
  for (const auto& item : fs::recursive_directory_iterator(fs_path(root)))
    if (!item.is_directory())
      names.push_back(path_text(fs::relative(item.path(), fs_path(root)).generic_u8string()));
  std::sort(names.begin(), names.end());
  return names;
}

class UpdateProject : public testing::UtilsTest {
 protected:
  void SetUp() override {
    UtilsTest::SetUp();
    saved_ = SECTIONS.size();
    SECTIONS.push_back("ch01.json");
    dir = tmp / "Spanish";
    make_project();
    tools = update_tools();
    tools.timestamp = [] { return std::string("20250102030405"); };
    tools.open_folder = [this](const std::string& d, const std::string& f) {
      opened.push_back(d + " | " + f);
    };
  }
  void TearDown() override {
    SECTIONS.resize(saved_);
    UtilsTest::TearDown();
  }

  // The project of the old version, translated: dialogue.txt and two images of its own.
  void make_project() {
    old_txt = dat_2_txt(translated(game(1)));
    ASSERT_EQ(txt_save(path_join(dir, "dialogue.txt"), old_txt), 0);
    write_bytes(path_join(dir, "img/ui/title.png"), "mine");
    write_bytes(path_join(dir, "img/old.png"), "mine too");
  }

  std::optional<Value> update(const std::string& format, const std::string& images, bool backup,
                              const Value& data = game(2)) {
    return update_translation(data, {target(), format, images, backup}, &window, tools);
  }
  std::string target() const { return path_join(dir, "dialogue.txt"); }
  // The panel lines before the statistics block that ends a check.
  Lines report_end(size_t n) const {
    const auto end = std::find(window.calls.begin(), window.calls.end(), "log: Statistics:");
    EXPECT_NE(end, window.calls.end());
    return Lines(end - static_cast<std::ptrdiff_t>(n), end);
  }
  // The panel lines that are the report of verify (no banner, no file work).
  Lines report() const {
    Lines out;
    for (const std::string& call : window.calls)
      if (call.find(" at line (") != std::string::npos ||
          call.find(" at row (") != std::string::npos)
        out.push_back(call);
    return out;
  }

  std::string dir, old_txt;
  UpdateTools tools;
  RecordingWindow window;
  Lines opened;

 private:
  size_t saved_ = 0;
};

TEST_F(UpdateProject, CheckReportsEveryChangeAtItsLineAndChangesNothing) {
  check_translation(game(2), target(), &window);
  const std::optional<Value> merged = verify(game(2), target(), nullptr);
  ASSERT_TRUE(merged);
  const std::string new_txt = dat_2_txt(*merged);
  auto at = [](const std::string& txt, const std::string& line) { return line_of(txt, line); };
  const Lines expected_report = {
      "log: Label added at line (" + at(new_txt, "new_lbl : New label") + "): New label",
      "log: Label removed at line (" + at(old_txt, "gone_lbl : ES Old label") + "): ES Old label",
      "log: Actor added at line (" + at(new_txt, "#eve : Eve") + "): Eve",
      // An item and its description share their id, so both places are reported under each.
      "log: Item removed at line (" + at(old_txt, "#map_001 : ES Map") + "): ES Map",
      "log: Item removed at line (" + at(old_txt, "#map_001 (ES Map)") + "): ES A map.",
      "log: Lines added at line (" + at(new_txt, "#c5 (Eve)") + "): New one.\nNew two.",
      "log: Lines removed at line (" + at(old_txt, "#map_001 : ES Map") + "): ES Map",
      "log: Lines removed at line (" + at(old_txt, "#map_001 (ES Map)") + "): ES A map.",
  };
  EXPECT_EQ(report(), expected_report);
  const Lines& calls = window.calls;
  EXPECT_EQ(Lines(calls.begin(), calls.begin() + 5),
            (Lines{"log: ---------------------------", "log:  CHECKING TRANSLATION FILE ",
                   "log: ---------------------------\n", "log: Loading " + target(),
                   "log: Content ID update: yrrRQ30Q -> w7ZvbBvC"}));
  EXPECT_EQ(calls[5], "log: Version updated from (Ep v1 : aaaa) to (Ep v2 : bbbb)");
  EXPECT_EQ(report_end(3),
            (Lines{"log: \nChecks and comparisons complete.", "log: Additions: 3 / Removals: 3\n",
                   "log: No English baseline in this project: texts whose English changed cannot "
                   "be listed until Update writes one."}));
  // The mute speaker has no name in the game either: its empty translation is no addition.
  EXPECT_EQ(std::find(utils._output.begin(), utils._output.end(),
                      "Missing lines at (mute). Possible formatting issue. Restoring back to: "),
            utils._output.end());
  EXPECT_EQ(*txt_load(target()), old_txt);
  EXPECT_EQ(tree(dir), (Lines{"dialogue.txt", "img/old.png", "img/ui/title.png"}));

  // The merged record: the game's keys in its order, the translation kept under the new id.
  const Value& text = (*merged)["text_lut"];
  EXPECT_EQ(text["w7ZvbBvC"], lines({"ES Hello."}));
  EXPECT_EQ(text["c5"], lines({"New one.", "New two."}));
  EXPECT_TRUE(text.as_map().same_keys(game(2)["text_lut"].as_map()));
  EXPECT_EQ((*merged)["sections"], game(2)["sections"]);
  EXPECT_EQ((*merged)["lng_name"], Value("Español"));
}

TEST_F(UpdateProject, ACsvTranslationIsReportedByRow) {
  const std::string csv_path = path_join(dir, "dialogue.csv");
  const CsvTable old_rows = dat_2_csv(game(1), translated(game(1)));
  ASSERT_EQ(csv_save(csv_path, old_rows), 0);
  check_translation(game(2), csv_path, &window);
  const CsvTable new_rows = dat_2_csv(game(2), *verify(game(2), csv_path, nullptr));
  // The 1-based number of the n-th row whose first cell is `id`.
  auto at = [](const CsvTable& rows, const std::string& id, int nth = 1) {
    for (size_t i = 0; i < rows.size(); ++i)
      if (!rows[i].empty() && rows[i][0] == id && --nth == 0) return std::to_string(i + 1);
    ADD_FAILURE() << "no row " << id;
    return std::string("?");
  };
  EXPECT_EQ(report(),
            (Lines{
                "log: Label added at row (" + at(new_rows, "new_lbl") + "): New label",
                "log: Label removed at row (" + at(old_rows, "gone_lbl") + "): ES Old label",
                "log: Actor added at row (" + at(new_rows, "eve") + "): Eve",
                "log: Item removed at row (" + at(old_rows, "map_001") + "): ES Map",
                "log: Item removed at row (" + at(old_rows, "map_001", 2) + "): ES A map.",
                "log: Lines added at row (" + at(new_rows, "c5") + "): New one.\nNew two.",
                "log: Lines removed at row (" + at(old_rows, "map_001") + "): ES Map",
                "log: Lines removed at row (" + at(old_rows, "map_001", 2) + "): ES A map.",
            }));
  // Without english.dat, the English column is the baseline.
  EXPECT_EQ(report_end(2), (Lines{"log: Additions: 3 / Removals: 3\n",
                                  "log: English changed: 0 (translations kept, to review)"}));
}

// After an Update wrote english.dat, a game whose English changed for kept translations has
// each listed after its table's report, at its place in the new file, with the old English.
TEST_F(UpdateProject, EnglishChangedSinceTheBaselineIsListedWithItsOldText) {
  ASSERT_TRUE(update("TXT", "Change Nothing", false));
  const Value baseline = *dat_load(path_join(dir, "english.dat"));
  EXPECT_EQ(baseline["tables"]["sys_lbls"], game(2)["sys_lbls"]);
  EXPECT_EQ(baseline["ver_hash"], game(2)["ver_hash"]);
  EXPECT_EQ(baseline["images"]["img/ui/title"], Value(sha256_hex("T2")));
  Value next = game(2);
  next["sys_lbls"]["back"] = "Go back";
  next["item_lut"]["key_001"] = "Old key";
  next["text_lut"]["key_001"] = lines({"An old key.", "Rusty."});
  next["text_lut"]["c2"] = lines({"Farewell."});
  // Added by the Update in English and not translated since: the old English is kept too.
  next["text_lut"]["c5"] = lines({"Changed, untranslated."});
  window.calls.clear();
  check_translation(next, target(), &window);
  const std::string new_txt = dat_2_txt(*verify(next, target(), nullptr));
  auto at = [&](const std::string& line) { return line_of(new_txt, line); };
  const Lines& calls = window.calls;
  Lines changed;
  for (const std::string& call : calls)
    if (call.find(" changed at ") != std::string::npos || call.starts_with("log:     was: "))
      changed.push_back(call);
  EXPECT_EQ(
      changed,
      (Lines{"log: Label changed at line (" + at("back : ES Back") + "): Go back",
             "log:     was: Back",
             "log: Item changed at line (" + at("#key_001 : ES Key") + "): Old key",
             "log:     was: Key",
             "log: Lines changed at line (" + at("#key_001 (ES Key)") + "): An old key.\nRusty.",
             "log:     was: A key.",
             "log: Lines changed at line (" + at("#c2 (Narrator)") + "): Farewell.",
             "log:     was: Bye.",
             "log: Lines changed at line (" + at("#c5 (Eve)") + "): Changed, untranslated.",
             "log:     was: New one.\nNew two."}));
  EXPECT_EQ(report_end(1), Lines{"log: English changed: 5 (translations kept, to review)"});
  // The statistics: the listed and the changed texts are to review; c5 counts as
  // translated (it differs from the game's new English) and is to review.
  const auto stats = std::find(calls.begin(), calls.end(), "log: Statistics:");
  EXPECT_EQ(
      Lines(stats, calls.end()),
      (Lines{"log: Statistics:", "log:   Label: 2 of 3 translated, 1 untranslated, 2 to review",
             "log:   Menu: 1 of 1 translated, 0 untranslated, 0 to review",
             "log:   Actor: 1 of 3 translated, 2 untranslated, 1 to review",
             "log:   Item: 1 of 1 translated, 0 untranslated, 1 to review",
             "log:   Lines: 6 of 6 translated, 0 untranslated, 3 to review",
             "log:   Dialogue: 5 of 5 translated, 0 untranslated, 2 to review",
             "log:   Images: 1 of 2 translated, 1 missing", "log:   Done: 78.6%\n"}));
}

// review.csv lists the additions, then keeps each row until its translation is edited and
// adds the next update's; Position and New English follow the game.
TEST_F(UpdateProject, ReviewListKeepsUntouchedRowsAndAddsNewOnes) {
  ASSERT_TRUE(update("TXT", "Change Nothing", false));
  const std::string review_path = path_join(dir, "review.csv");
  auto review = [&] { return *csv_load(review_path); };
  const std::string txt2 = *txt_load(target());
  const CsvRow header = {"Kind",        "Table",       "ID",         "Position",
                         "Old English", "New English", "Translation"};
  EXPECT_EQ(review(),
            (CsvTable{header,
                      {"added", "Label", "new_lbl", line_of(txt2, "new_lbl : New label"), "",
                       "New label", "New label"},
                      {"added", "Actor", "eve", line_of(txt2, "#eve : Eve"), "", "Eve", "Eve"},
                      {"added", "Lines", "c5", line_of(txt2, "#c5 (Eve)"), "", "New one.\nNew two.",
                       "New one.\nNew two."}}));
  EXPECT_EQ(window.calls[window.calls.size() - 2],
            "log: Texts to review: 3, listed in " + review_path);

  // The translator translates the new label; the game then changes two texts.
  std::string edited = txt2;
  edited.replace(edited.find("new_lbl : New label"), 19, "new_lbl : ES New label");
  ASSERT_EQ(txt_save(target(), edited), 0);
  Value next = game(2);
  next["sys_lbls"]["back"] = "Go back";
  next["text_lut"]["c5"] = lines({"Changed."});
  ASSERT_TRUE(update("TXT", "Change Nothing", false, next));
  const std::string txt3 = *txt_load(target());
  EXPECT_EQ(review(),
            (CsvTable{header,
                      {"added", "Actor", "eve", line_of(txt3, "#eve : Eve"), "", "Eve", "Eve"},
                      {"added", "Lines", "c5", line_of(txt3, "#c5 (Eve)"), "", "Changed.",
                       "New one.\nNew two."},
                      {"changed", "Label", "back", line_of(txt3, "back : ES Back"), "Back",
                       "Go back", "ES Back"}}));
}

TEST_F(UpdateProject, RenamesApplyOnlyWhereTheGameMadeThem) {
  // Against the old game, which still has "yrrRQ30Q", the translation stays under it.
  const std::optional<Value> merged = verify(game(1), target(), &window);
  ASSERT_TRUE(merged);
  EXPECT_EQ((*merged)["text_lut"]["yrrRQ30Q"], lines({"ES Hello."}));
  EXPECT_FALSE((*merged)["text_lut"].as_map().contains("w7ZvbBvC"));
  for (const std::string& call : window.calls)
    EXPECT_EQ(call.find("Content ID update"), std::string::npos);
}

TEST_F(UpdateProject, AnUntouchedProjectHasNoAdditions) {
  for (const bool csv : {false, true}) {
    const std::string path = path_join(dir, csv ? "fresh.csv" : "fresh.txt");
    ASSERT_EQ(csv ? csv_save(path, dat_2_csv(game(2))) : txt_save(path, dat_2_txt(game(2))), 0);
    window.calls.clear();
    ASSERT_TRUE(check_translation(game(2), path, &window));
    EXPECT_EQ(report_end(2)[0], "log: Additions: 0 / Removals: 0\n") << path;
  }
}

// A spreadsheet or text file saved in the system's code page: one box that names the fix and
// the row or line, not a second one for the same failure.
TEST_F(UpdateProject, ANonUtf8DialogueFileGivesOneErrorBox) {
  const struct {
    const char* name;
    const char* form;
    const char* bytes;
    const char* box;
  } cases[] = {
      {"dialogue.csv", "CSV",
       "Version;;;\r\nEp v1 : aaaa;;;\r\nLabels;English;Translation\r\nok;OK;D\xE9j\xE0\r\n",
       "dialogue.csv is not UTF-8 text (row 4): save it as CSV UTF-8 and try again."},
      {"dialogue.txt", "TXT", "[VERSION]\r\nEp v1 : aaaa\r\n\r\n[LABELS]\r\nok : D\xE9j\xE0\r\n",
       "dialogue.txt is not UTF-8 text (line 5): save it as UTF-8 and try again."},
  };
  for (const auto& c : cases) {
    window.calls.clear();
    const std::string path = path_join(dir, c.name);
    write_bytes(path, c.bytes);
    ASSERT_FALSE(
        update_translation(game(2), {path, c.form, "Change Nothing", false}, &window, tools));
    const Lines boxes = [&] {
      Lines out;
      for (const std::string& call : window.calls)
        if (call.starts_with("error box")) out.push_back(call);
      return out;
    }();
    EXPECT_EQ(boxes, Lines{std::string("error box [Error]: ") + c.box});
    EXPECT_EQ(window.calls.back(), "log: Update failed, check logs for information.");
    std::filesystem::remove(path);
  }
}

TEST_F(UpdateProject, UnreadableOrFormlessTranslationGivesNothing) {
  write_bytes(path_join(dir, "dialogue.txt"), "");
  EXPECT_FALSE(verify(game(2), target(), &window));
  EXPECT_EQ(window.calls, (Lines{"log: Loading " + target(), "log: Couldn't load: " + target()}));
  EXPECT_EQ(utils._output.back(), "No data found: " + target());
  window.calls.clear();
  EXPECT_FALSE(update("TXT", "Change Nothing", true));
  EXPECT_EQ(window.calls.back(), "error box [Error]: Update failed, check logs for information.");
  EXPECT_EQ(tree(dir), (Lines{"dialogue.txt", "img/old.png", "img/ui/title.png"}));
}

TEST_F(UpdateProject, FormatChangeWithBackupWritesTheNewFileAndKeepsTheOld) {
  ASSERT_TRUE(update("CSV", "Change Nothing", true));
  const std::string bkp = "backup_20250102030405/";
  EXPECT_EQ(tree(dir), (Lines{bkp + "dialogue.txt", bkp + "img/old.png", bkp + "img/ui/title.png",
                              "dialogue.csv", "english.dat", "img/old.png", "img/ui/title.png",
                              "review.csv"}));
  EXPECT_EQ(*txt_load(path_join(dir, bkp + "dialogue.txt")), old_txt);
  const DialogueRead back = csv_2_dat(*csv_load(path_join(dir, "dialogue.csv")));
  EXPECT_EQ(back.data["text_lut"]["w7ZvbBvC"], lines({"ES Hello."}));
  EXPECT_EQ(back.data["text_lut"]["c5"], lines({"New one.", "New two."}));
  EXPECT_EQ(back.data["sys_lbls"]["back"], Value("ES Back"));
  EXPECT_EQ(back.data["ver_hash"], Value("Ep v2 : bbbb"));
  EXPECT_EQ(window.calls.back(),
            "log: \nSuccessfully updated " + path_join(dir, "dialogue.csv") + "\n");
  EXPECT_EQ(opened, Lines{dir + " | " + path_join(dir, "dialogue.csv")});
}

TEST_F(UpdateProject, ImagePolicies) {
  struct Case {
    std::string policy;
    Lines files;        // the project's images afterwards
    std::string title;  // the bytes of img/ui/title.png afterwards
    Lines added;
  };
  const std::vector<Case> cases = {
      {"Replace All",
       {"img/new/banner.png", "img/ui/title.png"},
       "T2",
       {"img/ui/title", "img/new/banner"}},
      {"Replace Missing", {"img/new/banner.png", "img/ui/title.png"}, "mine", {"img/new/banner"}},
      {"anything else", {"img/new/banner.png", "img/ui/title.png"}, "mine", {"img/new/banner"}},
      {"Change Nothing", {"img/old.png", "img/ui/title.png"}, "mine", {}},
  };
  for (const Case& c : cases) {
    fs::remove_all(fs_path(dir));
    make_project();
    window.calls.clear();
    ASSERT_TRUE(update("TXT", c.policy, false)) << c.policy;
    Lines files = tree(path_join(dir, "img"));
    for (std::string& f : files) f = "img/" + f;
    EXPECT_EQ(files, c.files) << c.policy;
    EXPECT_EQ(read_bytes(path_join(dir, "img/ui/title.png")), c.title) << c.policy;
    Lines added;
    for (const std::string& call : window.calls)
      if (call.rfind("log: Adding image: ", 0) == 0) added.push_back(call.substr(19));
    EXPECT_EQ(added, c.added) << c.policy;
  }
}

// "Replace Untranslated" keeps the translator's images (listed for review when the game
// changed their original) and replaces the game's own; without a baseline it says so and
// acts as "Replace Missing".
TEST_F(UpdateProject, ReplaceUntranslatedKeepsOnlyTheTranslatorsImages) {
  ASSERT_TRUE(update("TXT", "Replace Untranslated", false));
  EXPECT_NE(std::find(window.calls.begin(), window.calls.end(),
                      "log: No English baseline in this project: \"Replace Untranslated\" acts "
                      "as \"Replace Missing\"."),
            window.calls.end());
  EXPECT_EQ(read_bytes(path_join(dir, "img/ui/title.png")), "mine");
  EXPECT_EQ(read_bytes(path_join(dir, "img/new/banner.png")), "N2");

  // english.dat now holds release 2's images; the project's banner is the game's.
  Value next = game(2);
  next["img_data"]["img/ui/title"] = Value::bytes("T3");
  next["img_data"]["img/new/banner"] = Value::bytes("N3");
  write_bytes(path_join(dir, "img/ui/title.png"), "T2");  // the game's image again
  write_bytes(path_join(dir, "img/new/banner.png"), "my banner");
  ASSERT_TRUE(update("TXT", "Replace Untranslated", false, next));
  EXPECT_EQ(read_bytes(path_join(dir, "img/ui/title.png")), "T3");
  EXPECT_EQ(read_bytes(path_join(dir, "img/new/banner.png")), "my banner");
  const CsvTable review = *csv_load(path_join(dir, "review.csv"));
  EXPECT_EQ(review.back(), (CsvRow{"changed", "Image", "img/new/banner", "", sha256_hex("N2"),
                                   sha256_hex("N3"), sha256_hex("my banner")}));
}

TEST_F(UpdateProject, AnEmptyImageIsReportedAsLoadingReportsIt) {
  write_bytes(path_join(dir, "img/ui/title.png"), "");
  ASSERT_TRUE(update("TXT", "Change Nothing", false));
  const Lines& calls = window.calls;
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "log: Failed to load image: title.png"), 1);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "log: Failed to load image: old.png"), 0);
  // The policy still decides what happens to it: kept, as it was.
  EXPECT_EQ(read_bytes(path_join(dir, "img/ui/title.png")), "");
}

TEST_F(UpdateProject, RefusalsLeaveTheProjectAsItWas) {
  const Lines before = tree(dir);
  // An unknown form is refused before the question, the backup and any deletion.
  EXPECT_FALSE(update("XLS", "Replace All", true));
  EXPECT_EQ(Lines(window.calls.end() - 3, window.calls.end()),
            RecordingWindow::error_calls("Failed to update unknown file type: xls"));
  // The user says No.
  RecordingWindow no(false);
  EXPECT_FALSE(update_translation(game(2), {target(), "CSV", "Replace All", true}, &no, tools));
  EXPECT_EQ(no.calls.back(), "log: Canceled update.");
  // A missing file.
  window.calls.clear();
  EXPECT_FALSE(update_translation(game(2), {target() + "x", "TXT", "", true}, &window, tools));
  EXPECT_EQ(Lines(window.calls.end() - 3, window.calls.end()),
            RecordingWindow::error_calls("File doesn't exist:\n" + target() + "x"));
  EXPECT_EQ(tree(dir), before);
  EXPECT_EQ(*txt_load(target()), old_txt);
}

TEST_F(UpdateProject, AFailedWriteInTheNewFormKeepsTheOldFile) {
  // A folder in the way of dialogue.csv: the new file cannot be written.
  write_bytes(path_join(dir, "dialogue.csv/blocker"), "");
  EXPECT_FALSE(update("CSV", "Replace All", false));
  EXPECT_EQ(Lines(window.calls.end() - 3, window.calls.end()),
            RecordingWindow::error_calls("Failed to update " + path_join(dir, "dialogue.csv")));
  EXPECT_EQ(*txt_load(target()), old_txt);
  EXPECT_EQ(read_bytes(path_join(dir, "img/old.png")), "mine too");  // images not yet touched
}

TEST_F(UpdateProject, ImagesOutsideTheFolderOrUnwritableStopWithAMessage) {
  Value evil = game(2);
  evil["img_data"].as_map().set("../escaped", Value::bytes("x"));
  ASSERT_TRUE(update("TXT", "Replace All", false, evil));
  EXPECT_NE(std::find(window.calls.begin(), window.calls.end(),
                      "log: Refused image outside the project folder: ../escaped"),
            window.calls.end());
  EXPECT_FALSE(path_exists(tmp / "escaped.png"));

  // A file where the image's folder must go: the update stops, the process goes on.
  window.calls.clear();
  fs::remove_all(fs_path(path_join(dir, "img/new")));
  write_bytes(path_join(dir, "img/new"), "not a folder");
  EXPECT_FALSE(update("TXT", "Replace All", false));
  EXPECT_EQ(Lines(window.calls.end() - 3, window.calls.end()),
            RecordingWindow::error_calls("Failed to save image: img/new/banner"));
}

TEST_F(UpdateProject, WithoutAWindowNoQuestionIsAsked) {
  ASSERT_TRUE(
      update_translation(game(2), {target(), "TXT", "Replace Missing", false}, nullptr, tools));
  const DialogueRead back = txt_2_dat(*txt_load(target()));
  EXPECT_EQ(back.data["text_lut"]["w7ZvbBvC"], lines({"ES Hello."}));
  EXPECT_EQ(back.data["ver_hash"], Value("Ep v2 : bbbb"));
}

TEST_F(UpdateProject, TwoUpdatesInOneSecondKeepTwoBackups) {
  ASSERT_TRUE(update("TXT", "Change Nothing", true));
  const std::string first = *txt_load(target());
  ASSERT_TRUE(update("TXT", "Change Nothing", true));
  ASSERT_TRUE(update("TXT", "Change Nothing", true));
  EXPECT_EQ(*txt_load(path_join(dir, "backup_20250102030405/dialogue.txt")), old_txt);
  EXPECT_EQ(*txt_load(path_join(dir, "backup_20250102030405_2/dialogue.txt")), first);
  EXPECT_TRUE(path_exists(path_join(dir, "backup_20250102030405_3/img/old.png")));
}

TEST_F(UpdateProject, LeftoverTemporaryFilesOfTheToolGoAndNoOtherFile) {
  const Lines leftovers{"dialogue.txt.tmp-verbix-042042", "img/ui/title.png.tmp-verbix-000001",
                        "backup_1/img/old.png.tmp-verbix-999999"};
  for (const std::string& name : leftovers) write_bytes(path_join(dir, name), "half");
  write_bytes(path_join(dir, "notes.tmp-verbix-12"), "mine");
  write_bytes(path_join(dir, "img/x.tmp123456"), "mine");
  ASSERT_TRUE(update("TXT", "Change Nothing", false));
  for (const std::string& name : leftovers) EXPECT_FALSE(path_exists(path_join(dir, name)));
  EXPECT_EQ(read_bytes(path_join(dir, "notes.tmp-verbix-12")), "mine");
  EXPECT_EQ(read_bytes(path_join(dir, "img/x.tmp123456")), "mine");
}

}  // namespace
}  // namespace verbix
