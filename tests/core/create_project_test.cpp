// The Create workflow on real folders, with a recording window, stand-in dialogue writers and
// a stand-in file explorer.
#include "app/create_project.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "recording_window.h"
#include "test_support.h"
#include "utils/file_helpers.h"
#include "utils/paths.h"

namespace verbix {
namespace {

namespace fs = std::filesystem;
using testing::read_bytes;
using testing::RecordingWindow;
using testing::write_bytes;
using Lines = std::vector<std::string>;

// A game record holding only what Create reads: its images, key -> bytes.
Value game_with_images(const std::vector<std::pair<std::string, std::string>>& images) {
  Map img;
  for (const auto& [key, bytes] : images) img.set(key, Value::bytes(bytes));
  return Map{{"ver_hash", "v1 : 0123"}, {"img_data", img}};
}

// Every file and folder below `root`, relative, folders with a trailing "/".
Lines tree(const std::string& root) {
  Lines names;
  for (const auto& entry : fs::recursive_directory_iterator(fs_path(root)))
    names.push_back(path_text(fs::relative(entry.path(), fs_path(root)).generic_u8string()) +
                    (entry.is_directory() ? "/" : ""));
  std::sort(names.begin(), names.end());
  return names;
}

class CreateProject : public testing::UtilsTest {
 protected:
  void SetUp() override {
    UtilsTest::SetUp();
    root = tmp / "tool";
    fs::create_directories(fs_path(root));
    tools.to_txt = [this](const Value&, Window* app) {
      EXPECT_EQ(app, &window);  // the converters report through the window
      return txt;
    };
    tools.to_csv = [this](const Value&, Window*) { return csv; };
    tools.open_folder = [this](const std::string& path) { opened.push_back(path); };
  }

  bool create(const std::string& folder, const std::string& layout = "TXT",
              const std::string& images = "NONE", const Value& data = game_with_images({})) {
    return create_project(data, {root, folder, layout, images}, &window, tools);
  }

  std::string root;
  std::string txt = "[VERSION]\nv1\n";
  CsvTable csv = {{"ID", "Source", "English", "Translation"}, {"1", "a", "b", ""}};
  CreateTools tools;
  RecordingWindow window;
  Lines opened;
};

TEST_F(CreateProject, TxtWithoutImagesWritesTheFontFolderAndTheDialogue) {
  ASSERT_TRUE(create("  Spanish  "));
  const std::string path = path_join(root, "Spanish");
  EXPECT_EQ(tree(path), (Lines{"dialogue.txt", "english.dat", "font/"}));
  EXPECT_EQ(*txt_load(path_join(path, "dialogue.txt")), txt);
  EXPECT_EQ(window.calls,
            (Lines{"log: Created dialogue.txt", "log: Generated files at: " + path, "save"}));
  EXPECT_EQ(opened, Lines{path});
  EXPECT_EQ(utils._output.front(), "\n[GENERATING FOLDER]\n");  // to the log only
}

TEST_F(CreateProject, AnyOtherLayoutWritesTheCsvDialogue) {
  for (const std::string layout : {"CSV", "txt"}) {
    ASSERT_TRUE(create("p_" + layout, layout));
    const std::string path = path_join(root, "p_" + layout);
    EXPECT_EQ(tree(path), (Lines{"dialogue.csv", "english.dat", "font/"}));
    EXPECT_EQ(*csv_load(path_join(path, "dialogue.csv")), csv);
  }
  EXPECT_EQ(window.calls[0], "log: Created dialogue.csv");
}

TEST_F(CreateProject, AnExistingFolderAnsweredNoIsLeftAlone) {
  const std::string path = path_join(root, "Spanish");
  write_bytes(path_join(path, "dialogue.txt"), "my translation");
  RecordingWindow no(false);
  EXPECT_FALSE(create_project(game_with_images({}), {root, "Spanish", "TXT", "NONE"}, &no, tools));
  EXPECT_EQ(no.calls, (Lines{"yes/no [Confirm]: Folder already exists:\n" + path +
                                 "\n\nDo you want overwrite it?",
                             "log: Canceled creating project folder."}));  // and no flush
  EXPECT_EQ(read_bytes(path_join(path, "dialogue.txt")), "my translation");
  EXPECT_TRUE(opened.empty());
}

TEST_F(CreateProject, AnExistingFolderAnsweredYesIsReplaced) {
  const std::string path = path_join(root, "Spanish");
  write_bytes(path_join(path, "notes/old.txt"), "gone");
  ASSERT_TRUE(create("Spanish"));
  EXPECT_EQ(tree(path), (Lines{"dialogue.txt", "english.dat", "font/"}));
  EXPECT_EQ(window.calls[1], "log: Deleted folder: " + path);
}

TEST_F(CreateProject, ABlankNameIsRefusedWithNothingWritten) {
  EXPECT_FALSE(create(" \t\u3000"));
  EXPECT_EQ(window.calls, RecordingWindow::error_calls("Can't generate folder without a name."));
  EXPECT_TRUE(tree(root).empty());
}

TEST_F(CreateProject, AnEmptyConversionStopsBeforeTheImages) {
  txt.clear();
  EXPECT_FALSE(create("Spanish", "TXT", "PNG", game_with_images({{"img/a", "PNG"}})));
  EXPECT_EQ(window.calls, RecordingWindow::error_calls("Failed to create dialogue.txt"));
  EXPECT_EQ(tree(path_join(root, "Spanish")), (Lines{"dialogue.txt", "font/"}));
  EXPECT_TRUE(opened.empty());

  csv.clear();
  window.calls.clear();
  EXPECT_FALSE(create("Other", "CSV"));
  EXPECT_EQ(window.calls, RecordingWindow::error_calls("Failed to create dialogue.csv"));
}

TEST_F(CreateProject, NoImagesAreWrittenForNoneOrAnEmptyImageMap) {
  ASSERT_TRUE(create("a", "TXT", "NONE", game_with_images({{"img/x", "b"}})));
  ASSERT_TRUE(create("b", "TXT", "PNG", game_with_images({})));
  EXPECT_FALSE(path_exists(path_join(root, "a/img")));
  for (const std::string& call : window.calls) EXPECT_EQ(call.find("image"), std::string::npos);
}

TEST_F(CreateProject, ImageKeysThatLeaveTheProjectFolderAreRefused) {
  const std::string png("\x89PNG\r\n\x1a\n\0\xff", 10);
  const Value data = game_with_images({{"../escaped", "x"},
                                       {"img/../../escaped2", "x"},
                                       {"/tmp/abs", "x"},
                                       {"C:/drive", "x"},
                                       {"..\\back", "x"},
                                       {"img/ui/title", png}});
  ASSERT_TRUE(create("Spanish", "TXT", "PNG", data));
  EXPECT_EQ(tree(root),
            (Lines{"Spanish/", "Spanish/dialogue.txt", "Spanish/english.dat", "Spanish/font/",
                   "Spanish/img/", "Spanish/img/ui/", "Spanish/img/ui/title.png"}));
  EXPECT_EQ(read_bytes(path_join(root, "Spanish/img/ui/title.png")), png);
  const std::string refused = "log: Refused image outside the project folder: ";
  EXPECT_EQ(window.calls,
            (Lines{"log: Created dialogue.txt", refused + "../escaped",
                   refused + "img/../../escaped2", refused + "/tmp/abs", refused + "C:/drive",
                   refused + "..\\back", "log: Saved image: title.png",
                   "log: Generated files at: " + path_join(root, "Spanish"), "save"}));
}

TEST_F(CreateProject, AnImageThatCannotBeWrittenStopsWithItsName) {
  // "a.png" is written as a file, so "a.png/b.png" cannot be: the process goes on, the
  // images before stay, the rest are skipped, the folder is not opened.
  const Value data = game_with_images({{"a", "1"}, {"a.png/b", "2"}, {"c", "3"}});
  EXPECT_FALSE(create("Spanish", "TXT", "PNG", data));
  EXPECT_EQ(Lines(window.calls.end() - 3, window.calls.end()),
            RecordingWindow::error_calls("Failed to save image: b.png"));
  EXPECT_EQ(read_bytes(path_join(root, "Spanish/a.png")), "1");
  EXPECT_FALSE(path_exists(path_join(root, "Spanish/c.png")));
  EXPECT_TRUE(opened.empty());
}

TEST(ImageKeyIsSafe, KeysInsideAndOutside) {
  for (const char* key : {"", "img/ui/title", "img/!icon", "a..b", "img/.hidden", "x/./y", "..a"})
    EXPECT_TRUE(image_key_is_safe(key)) << key;
  for (const char* key :
       {"/abs", "\\abs", "C:x", "c:/x", "img/a:b", "..", "../x", "a/../b", "a\\..\\b", "a/.."})
    EXPECT_FALSE(image_key_is_safe(key)) << key;
}

}  // namespace
}  // namespace verbix
