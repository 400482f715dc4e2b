// The compiler: the lookup tables' order and contents, the counted errors and their
// question, the refusals, and the file left on disk when writing fails. That the JSON text
// equals CPython's json.dumps is shown against CPython in the Python tests.
#include "project/compiler.h"

#include <gtest/gtest.h>

#include "data/language_data.h"
#include "project/json_text.h"
#include "record_builders.h"
#include "recording_window.h"
#include "test_support.h"
#include "utils/data_error.h"
#include "utils/paths.h"

namespace verbix {
namespace {
using testing::entry;
using testing::lines;

using testing::read_bytes;
using testing::RecordingWindow;
using testing::write_bytes;

// A small translated record: an item with a description, two speakers (one sharing the
// item's id), a dialogue block and a choice block.
Value record() {
  Value rec = data_new();
  rec["ver_hash"] = "Ep 1 : 0123456789abcdef0123";
  rec["lng_name"] = "Deutsch";
  rec["item_lut"] = Map{{"it01", "Lampe"}, {"same", "Schlüssel"}};
  rec["actr_lut"] = Map{{"anna", "Anna"}, {"same", "Sprecher"}};
  rec["text_lut"] = Map{{"it01", lines({"Eine Lampe."})},
                        {"opt1", lines({"Ja", "nicht gezeigt"})},
                        {"blk1", lines({"Hallo", "Welt"})},
                        {"opt2", lines({"Nein"})}};
  List section;
  section.push_back(entry("anna", {"blk1"}));
  section.push_back(entry("[CHOICES]", {"opt1", "opt2"}));
  rec["sections"] = Map{{"ch01.json", Value(std::move(section))}};
  return rec;
}

// The JSON document of a compiled file (after the signature).
std::string compiled(const Value& rec, const std::string& path, Window* app = nullptr) {
  EXPECT_TRUE(compile(path, rec, {}, app));
  const std::string bytes = read_bytes(path);
  EXPECT_EQ(bytes.substr(0, 8), "LANGDATA");
  return bytes.substr(8);
}

std::string json_of(const Value& v) {
  std::string out;
  append_json(out, v);
  return out;
}

class CompilerTest : public testing::UtilsTest {
 protected:
  std::string out = tmp / "Deutsch.cld";
  RecordingWindow window{false};
};

TEST_F(CompilerTest, TablesFollowTheirOrderAndKeepFirstPositions) {
  const std::string doc = compiled(record(), out);
  // Items, then speakers (an id already present keeps its place and takes the speaker's
  // name), then each choice option's first line.
  EXPECT_NE(doc.find("\"labelLUT\": {\"it01\": \"Lampe\", \"same\": \"Sprecher\", \"anna\": "
                     "\"Anna\", \"opt1\": \"Ja\", \"opt2\": \"Nein\"}"),
            std::string::npos)
      << doc;
  // Dialogue blocks in section order, then the entries no section names (descriptions).
  EXPECT_NE(doc.find("\"linesLUT\": {\"blk1\": [\"Hallo\", \"Welt\"], \"it01\": [\"Eine "
                     "Lampe.\"]}}"),
            std::string::npos)
      << doc;
  EXPECT_EQ(doc.find("{\"langVers\": \"Ep 1 : 0123456789abcdef0123\", \"langName\": "
                     "\"Deutsch\", \"langInfo\": [\"\", \"\", \"\"], \"fontFace\": "
                     "\"GameFont\", \"fontSize\": 28, \"fontFile\": null, \"imgFiles\": {}, "
                     "\"sysLabel\": {}, \"sysMenus\": {}, "),
            0u)
      << doc;
}

TEST_F(CompilerTest, FontAndImagesAreBase64) {
  Value rec = record();
  rec["fnt_data"] = Value::bytes("font");
  rec["img_data"] = Map{{"img/a", Value::bytes("\x89PNG")}, {"img/empty", Value::bytes("")}};
  const std::string doc = compiled(rec, out);
  EXPECT_NE(doc.find("\"fontFile\": \"Zm9udA==\", \"imgFiles\": {\"img/a\": \"iVBORw==\", "
                     "\"img/empty\": \"\"}"),
            std::string::npos)
      << doc;
  rec["fnt_data"] = Value::bytes("");
  EXPECT_NE(compiled(rec, out).find("\"fontFile\": null"), std::string::npos);
}

TEST_F(CompilerTest, CountedErrorsAskWithAWindowAndWriteWithoutOne) {
  Value rec = record();
  rec["text_lut"]["blk1"] = Value::list();
  rec["text_lut"].as_map().set("", lines({"x"}));
  rec["sections"]["ch01.json"].as_list().push_back(entry("", {""}));
  const DialogueMeta meta =
      DialogueMeta::from_value(Map{{"format", "TXT"}, {"blk1", List{Value(List{17, "Hallo"})}}});

  RecordingWindow abort(true);
  EXPECT_FALSE(compile(out, rec, meta, &abort));
  EXPECT_FALSE(path_exists(out));
  const std::vector<std::string> expected = {
      "log: Parsing section data.",
      "log: Lines missing. Check formatting at line #17 for cuid: blk1",
      "log: Missing cuid: ", "yes/no [Build Errors (2)]: There were errors.\n\nDo you want abort?"};
  EXPECT_EQ(abort.calls, expected);

  EXPECT_TRUE(compile(out, rec, meta, &window));  // the user goes on
  EXPECT_EQ(window.calls.back(), "log: Compressing and saving data.");
  std::filesystem::remove(fs_path(out));
  EXPECT_TRUE(compile(out, rec, meta, nullptr));  // no window: the build goes on
  EXPECT_TRUE(path_exists(out));
  const std::string doc = read_bytes(out);
  EXPECT_NE(doc.find("\"blk1\": []"), std::string::npos);
}

TEST_F(CompilerTest, LinesMissingWithoutAPlaceInTheMeta) {
  Value rec = record();
  rec["text_lut"]["opt2"] = Value::list();
  RecordingWindow answer_no(false);
  EXPECT_TRUE(compile(out, rec, {}, &answer_no));
  EXPECT_EQ(answer_no.calls[1], "log: Lines missing. Check formatting for cuid: opt2");
  // The option without lines stands in the labels with the empty text.
  EXPECT_NE(read_bytes(out).find("\"opt2\": \"\""), std::string::npos);
}

TEST_F(CompilerTest, DuplicatedOrUnknownIdsAreRefusedWithoutWriting) {
  const std::string msg = "Sections have duplicated line IDs. Review data generation.";
  Value twice = record();
  twice["sections"].as_map().set("ch02.json", List{entry("anna", {"blk1"})});
  EXPECT_FALSE(compile(out, twice, {}, &window));
  EXPECT_FALSE(path_exists(out));
  EXPECT_EQ(std::vector<std::string>(window.calls.end() - 3, window.calls.end()),
            RecordingWindow::error_calls(msg));

  Value unknown = record();
  unknown["sections"]["ch01.json"].as_list().push_back(entry("anna", {"nope"}));
  window.calls.clear();
  EXPECT_FALSE(compile(out, unknown, {}, &window));
  EXPECT_EQ(window.calls.back(), "error box [Error]: " + msg);
}

TEST_F(CompilerTest, DuplicatedIdsWithoutAWindowEndTheProcess) {
  Value twice = record();
  twice["sections"].as_map().set("ch02.json", List{entry("anna", {"blk1"})});
  EXPECT_EXIT(
      {
        utils.CSH_WAIT = false;
        utils.console.write = [](std::string_view t) {
          std::fwrite(t.data(), 1, t.size(), stderr);
        };
        compile(out, twice);
      },
      ::testing::ExitedWithCode(1), "Sections have duplicated line IDs");
}

TEST_F(CompilerTest, InvalidRecordsAreRefused) {
  RecordingWindow w;
  EXPECT_FALSE(compile(out, Value::map(), {}, &w));
  EXPECT_EQ(w.calls, std::vector<std::string>{"log: Can't compile invalid data structure: " + out});
  // Valid by its keys, but a section that is not a list of entries.
  Value rec = record();
  rec["sections"]["ch01.json"] = "not entries";
  w.calls.clear();
  EXPECT_FALSE(compile(out, rec, {}, &w));
  EXPECT_EQ(w.calls.back(), "log: Can't compile invalid data structure: " + out);
  EXPECT_FALSE(path_exists(out));
}

TEST_F(CompilerTest, AFailedWriteLeavesThePreviousFileWhole) {
  write_bytes(out, "previous build");
  Value rec = record();
  // A value that JSON cannot hold fails the write half-way through the document.
  rec["sys_menu"] = Map{{"m", Value::bytes("raw")}};
  RecordingWindow w;
  EXPECT_FALSE(compile(out, rec, {}, &w));
  EXPECT_EQ(w.calls.back(), "log: Failed to build: " + out +
                                " Exception: Object of type bytes is not JSON serializable");
  EXPECT_EQ(read_bytes(out), "previous build");
  std::vector<std::string> left;
  for (const auto& e : std::filesystem::directory_iterator(fs_path(tmp.path())))
    left.push_back(path_text(e.path().filename()));
  EXPECT_EQ(left, std::vector<std::string>{"Deutsch.cld"}) << "no temporary file is left";

  // A folder in the way: the failure is reported, not thrown.
  const std::string folder = tmp / "taken.cld";
  std::filesystem::create_directory(fs_path(folder));
  w.calls.clear();
  EXPECT_FALSE(compile(folder, record(), {}, &w));
  EXPECT_EQ(w.calls.back().rfind("log: Failed to build: " + folder + " Exception: ", 0), 0u);
}

TEST(JsonTextTest, EscapesAsTheHostDoes) {
  EXPECT_EQ(json_of("a\"b\\c\b\f\n\r\t\x01\x1f\x7f"),
            "\"a\\\"b\\\\c\\b\\f\\n\\r\\t\\u0001\\u001f\\u007f\"");
  EXPECT_EQ(json_of("é中😀"), "\"\\u00e9\\u4e2d\\ud83d\\ude00\"");
  EXPECT_EQ(json_of("\xed\xa0\x80"), "\"\\ud800\"");  // a lone surrogate stays itself
  EXPECT_EQ(json_of("\xff"), "\"\\ufffd\"");
}

TEST(JsonTextTest, NumbersAndOtherKinds) {
  EXPECT_EQ(json_of(List{Value(), true, false, -7, INT64_MIN}),
            "[null, true, false, -7, -9223372036854775808]");
  EXPECT_EQ(json_of(List{1e16, 1e15, 1e-5, 0.0001, 0.1, -0.0, 1.5e300, 123.456}),
            "[1e+16, 1000000000000000.0, 1e-05, 0.0001, 0.1, -0.0, 1.5e+300, 123.456]");
  EXPECT_EQ(json_of(List{1.0 / 0.0, -1.0 / 0.0}), "[Infinity, -Infinity]");
  EXPECT_THROW(json_of(Value::bytes("x")), DataError);
  Value deep = Value::list();
  for (int i = 0; i < 5000; ++i) deep = List{deep};
  EXPECT_THROW(json_of(deep), DataError);
}

}  // namespace
}  // namespace verbix
