// The build checks on records: for each check, texts that pass and texts that fail, and the
// Build step's lines and question.
#include "checks/lint.h"

#include <gtest/gtest.h>

#include "checks/lint_report.h"
#include "data/language_data.h"
#include "font_builders.h"
#include "record_builders.h"
#include "recording_window.h"

namespace verbix {
namespace {

using testing::lines;
using testing::pair;

// A game with one label, one menu entry and one two-line content, and its project with the
// label translated as `p_label` (and the rest untranslated).
struct Case {
  std::string english;
  std::string translation;
  std::vector<std::string> want;  // "check severity" of each problem
};

Value game_with(const std::string& p_label) {
  Value game = data_new();
  game["sys_lbls"]["lbl"] = p_label;
  game["sys_menu"]["m_ok"] = "OK";
  game["text_lut"]["c1"] = lines({"Hello %s", "Bye"});
  return game;
}

std::vector<std::string> kinds(const LintReport& p_report) {
  std::vector<std::string> out;
  for (const Problem& p : p_report.problems)
    out.push_back(p.check + (p.severity == Severity::Error ? " error" : " warning"));
  return out;
}

LintReport lint_label(const std::string& p_english, const std::string& p_translation) {
  const Value game = game_with(p_english);
  Value project = game_with(p_translation);
  Value meta = Value::map();
  meta["lbl"] = Value(List{pair(7, p_translation)});
  return lint_translation(project, DialogueMeta::from_value(meta), game);
}

TEST(Lint, EachCheckPassesAndFails) {
  const Case cases[] = {
      {"Slot %d: %s", "Ranura %d: %s", {}},
      {"Slot %d: %s", "%s : ranura %d", {}},
      {"Slot %d: %s", "Ranura %d", {"placeholders error"}},
      {"Hi {name}", "Hola {nombre}", {"placeholders error"}},
      {"<b>Go</b>", "<b>Vamos", {"placeholders error"}},
      {"100%% sure", "100%% seguro", {}},
      {"Hello", "#NAME?", {"spreadsheet error"}},
      {"007", "7", {"spreadsheet warning"}},
      {"=1+1", "2", {"spreadsheet warning"}},
      {"007", "007", {}},
      {"12", "12", {}},
      {"  Lie  ", "  Mentir  ", {}},
      {"  Lie", "Mentir", {"whitespace warning"}},
      {"Lie\u3000", "Mentir ", {"whitespace warning"}},
      {" Lie ", "Mentir", {"whitespace warning", "whitespace warning"}},
      {"Hello", "", {"empty warning"}},
      {"Hello", "   ", {"empty warning"}},
      {"", "", {}},
      {"", "Hola", {}},
      {"Same %d", "Same %d", {}},
  };
  for (const Case& c : cases) {
    const LintReport report = lint_label(c.english, c.translation);
    EXPECT_EQ(kinds(report), c.want) << c.english << " -> " << c.translation;
    for (const Problem& p : report.problems) {
      EXPECT_EQ(p.table, "sys_lbls");
      EXPECT_EQ(p.id, "lbl");
      EXPECT_EQ(p.position, 7);
    }
  }
}

TEST(Lint, MenuKeyOnlyWhereTheEnglishIsNotItsKey) {
  const Value game = game_with("x");
  Value project = game;
  project["sys_menu"]["m_ok"] = "m_ok";
  EXPECT_EQ(kinds(lint_translation(project, {}, game)),
            std::vector<std::string>{"menu-key warning"});
  Value keyed = game;
  keyed["sys_menu"]["m_ok"] = "m_ok";
  EXPECT_TRUE(lint_translation(keyed, {}, keyed).problems.empty());
}

TEST(Lint, ContentLinesAreComparedOneByOneWithTheirRows) {
  const Value game = game_with("x");
  Value project = game;
  project["text_lut"]["c1"] = lines({"Hola", "Adiós"});
  Value meta = Value::map();
  meta["format"] = "CSV";
  meta["c1"] = Value(List{pair(20, "Hola"), pair(21, "Adiós")});
  const LintReport report = lint_translation(project, DialogueMeta::from_value(meta), game);
  ASSERT_EQ(kinds(report), std::vector<std::string>{"placeholders error"});
  EXPECT_EQ(report.problems[0].position, 20);
  EXPECT_EQ(problem_line(report.problems[0], report.place_word),
            "error placeholders: text_lut c1, row 20: placeholders differ from the English: "
            "missing %s");
  // Another number of lines: the content is compared whole.
  project["text_lut"]["c1"] = lines({"Hola %s, adiós"});
  EXPECT_TRUE(lint_translation(project, DialogueMeta::from_value(meta), game).problems.empty());
}

TEST(Lint, AFontThatCannotBeReadIsOneWarning) {
  const Value game = game_with("x");
  Value project = game;
  project["fnt_data"] = Value::bytes("not a font at all");
  project["sys_lbls"]["lbl"] = "é";
  const LintReport report = lint_translation(project, {}, game);
  ASSERT_EQ(report.problems.size(), 1u);
  EXPECT_EQ(report.warnings, 1u);
  EXPECT_EQ(report.problems[0].message,
            "glyphs: cannot read the font's character map: not a TrueType or OpenType font");
  EXPECT_EQ(problem_line(report.problems[0], "line"),
            "warning glyphs: glyphs: cannot read the font's character map: not a TrueType or "
            "OpenType font");
}

TEST(Lint, ALargeContentTableReportsInFileOrderWithGlyphsCountedOnce) {
  // Large enough to be checked in slices side by side where there are several cores.
  constexpr int kEntries = 90'000;
  Value game = data_new(), project = data_new();
  for (int i = 0; i < kEntries; ++i) {
    const std::string id = "c" + std::to_string(i);
    game["text_lut"][id] = lines({"Line %d"});
    const bool broken = i % 20'000 == 7;
    const bool accented = i % 30'000 == 11;
    project["text_lut"][id] = lines({broken ? "Linea" : accented ? "L\xc3\xadnea %d" : "Linea %d"});
  }
  project["fnt_data"] = Value::bytes(testing::font({{3, 1, testing::format4({{0x20, 0x7E}})}}));
  const LintReport report = lint_translation(project, {}, game);
  std::vector<std::string> ids;
  for (const Problem& p : report.problems) ids.push_back(p.check + " " + p.id);
  EXPECT_EQ(ids, (std::vector<std::string>{"placeholders c7", "placeholders c20007",
                                           "placeholders c40007", "placeholders c60007",
                                           "placeholders c80007", "glyphs c11"}));
  EXPECT_EQ(report.problems.back().message,
            "U+00ED \"\xc3\xad\" has no glyph in the font; used in 3 texts");
  EXPECT_EQ(report.errors, 6u);
}

TEST(LintReport, LinesAreCappedAndTheJsonIsPinned) {
  LintReport report;
  for (int i = 0; i < 203; ++i) {
    Problem p;
    p.check = "empty";
    p.severity = Severity::Warning;
    p.table = "sys_lbls";
    p.id = "k" + std::to_string(i);
    p.message = "the translation is blank";
    report.problems.push_back(p);
  }
  report.warnings = 203;
  const std::vector<std::string> shown = problem_lines(report);
  ASSERT_EQ(shown.size(), 201u);
  EXPECT_EQ(shown[0], "warning empty: sys_lbls k0: the translation is blank");
  EXPECT_EQ(shown.back(), "... and 3 more");
  EXPECT_EQ(count_line(report), "Checks: 0 errors, 203 warnings");

  LintReport one;
  Problem g;
  g.check = "glyphs";
  g.table = "text_lut";
  g.id = "c\"1";
  g.position = 4;
  g.message = "U+00E9";
  g.character = "\xc3\xa9";
  one.problems.push_back(g);
  one.errors = 1;
  EXPECT_EQ(report_json(one),
            "{\"problems\": [{\"check\": \"glyphs\", \"severity\": \"error\", \"table\": "
            "\"text_lut\", \"id\": \"c\\\"1\", \"position\": 4, \"message\": \"U+00E9\", "
            "\"char\": \"\\u00e9\"}], \"totals\": {\"errors\": 1, \"warnings\": 0}}");
}

TEST(LintReport, BuildAsksOnlyAboutErrors) {
  LintReport report = lint_label("Slot %d", "Ranura");
  for (bool answer : {false, true}) {
    testing::RecordingWindow window(answer);
    EXPECT_EQ(build_checks_pass(report, &window), answer);
    std::vector<std::string> want = {
        "log: error placeholders: sys_lbls lbl, line 7: placeholders differ from the English: "
        "missing %d",
        "log: Checks: 1 errors, 0 warnings",
        "yes/no [Confirm]: 1 problems would show in the game.\n\nDo you want to build anyway?"};
    if (!answer) want.push_back("log: Canceling build...");
    EXPECT_EQ(window.calls, want);
  }
  testing::RecordingWindow window(false);
  EXPECT_TRUE(build_checks_pass(lint_label("Hello", ""), &window));
  EXPECT_EQ(window.calls.size(), 2u);  // the warning and the count: no question
}

}  // namespace
}  // namespace verbix
