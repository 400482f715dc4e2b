// The project folder reader on real folders: which dialogue file is taken, the font lookup,
// the image keys, and the failures that give the empty pair.
#include "project/project_reader.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <filesystem>

#include "data/dialogue_csv.h"
#include "data/dialogue_txt.h"
#include "data/language_data.h"
#include "recording_window.h"
#include "test_support.h"
#include "utils/file_helpers.h"
#include "utils/paths.h"

namespace verbix {
namespace {

namespace fs = std::filesystem;
using testing::RecordingWindow;
using testing::write_bytes;

class ProjectReaderTest : public testing::UtilsTest {
 protected:
  // A project folder whose dialogue.txt holds a new record with the given face.
  std::string project(std::string_view face = "GameFont", std::string_view name = "proj") {
    const std::string dir = tmp / std::string(name);
    Value rec = data_new();
    rec["fnt_face"] = std::string(face);
    write_bytes(path_join(dir, "dialogue.txt"), dat_2_txt(rec));
    return dir;
  }

  // The lines the window showed, without the "log: " prefix.
  std::vector<std::string> shown() const {
    std::vector<std::string> lines;
    for (const std::string& call : window.calls)
      if (call.rfind("log: ", 0) == 0) lines.push_back(call.substr(5));
    return lines;
  }
  bool showed(std::string_view line) const {
    const auto lines = shown();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }

  RecordingWindow window;
};

TEST_F(ProjectReaderTest, DialogueFilePrefersTxtAndFallsBackToCsv) {
  const std::string dir = tmp / "both";
  EXPECT_EQ(dlg_file(dir), "");
  write_bytes(path_join(dir, "dialogue.csv"), "x");
  EXPECT_EQ(dlg_file(dir), normpath(path_join(dir, "dialogue.csv")));
  write_bytes(path_join(dir, "dialogue.txt"), "x");
  EXPECT_EQ(dlg_file(dir), normpath(path_join(dir, "dialogue.txt")));
}

TEST_F(ProjectReaderTest, DialogueDataTakesTheFormatFromTheNameEnding) {
  Value rec = data_new();
  rec["lng_name"] = "Deutsch";
  const std::string csv = tmp / "notes.CSV";
  ASSERT_EQ(csv_save(csv, dat_2_csv(rec, rec)), 0);
  DialogueRead read = dlg_data(csv, &window);
  ASSERT_FALSE(read.failed());
  EXPECT_EQ(read.meta.to_value()["format"], Value("CSV"));
  EXPECT_EQ(read.data["lng_name"], Value("Deutsch"));

  // No dot is needed: the last three letters decide.
  const std::string txt = tmp / "projecttxt";
  write_bytes(txt, dat_2_txt(rec));
  EXPECT_EQ(dlg_data(txt, &window).meta.to_value()["format"], Value("TXT"));
}

TEST_F(ProjectReaderTest, DialogueDataFailures) {
  EXPECT_TRUE(dlg_data("", &window).failed());
  EXPECT_TRUE(showed("Target folder missing dialogue file."));

  const std::string empty = tmp / "dialogue.txt";
  write_bytes(empty, "");
  window.calls.clear();
  EXPECT_TRUE(dlg_data(empty, &window).failed());
  EXPECT_EQ(shown(), (std::vector<std::string>{"Loading " + empty, "Couldn't load: " + empty}));

  const std::string missing = tmp / "gone.csv";
  window.calls.clear();
  EXPECT_TRUE(dlg_data(missing, &window).failed());
  EXPECT_EQ(shown(), (std::vector<std::string>{"Loading " + missing, "Couldn't load: " + missing}));
}

TEST_F(ProjectReaderTest, ImageKeysAreRelativeWithoutTheirPngEnding) {
  const std::string dir = project();
  write_bytes(path_join(dir, "img/a/B.PNG"), "B");
  write_bytes(path_join(dir, "img/top.png"), "T");
  write_bytes(path_join(dir, "img/a/deep/er/c.Png"), "C");
  write_bytes(path_join(dir, "img/readme.txt"), "not an image");
  write_bytes(path_join(dir, "img/empty.png"), "");
  DialogueRead read = dlg_2_dat(path_join(dir, "dialogue.txt"), &window);
  ASSERT_FALSE(read.failed());
  const Map& images = read.data["img_data"].as_map();
  EXPECT_EQ(images.size(), 4u);
  EXPECT_EQ(images.at("img/a/B"), Value::bytes("B"));
  EXPECT_EQ(images.at("img/top"), Value::bytes("T"));
  EXPECT_EQ(images.at("img/a/deep/er/c"), Value::bytes("C"));
  EXPECT_EQ(images.at("img/empty"), Value::bytes(""));
  EXPECT_TRUE(showed("Failed to load image: empty.png"));
  EXPECT_TRUE(showed("Including image: img/a/B.PNG"));
  // Top-down: a folder's own files come before those of its subfolders.
  std::vector<std::string> keys;
  for (const auto& [key, bytes] : images) keys.push_back(key);
  EXPECT_LT(std::find(keys.begin(), keys.end(), "img/top") - keys.begin(),
            std::find(keys.begin(), keys.end(), "img/a/B") - keys.begin());
}

TEST_F(ProjectReaderTest, ImageKeysKeepAFolderThatRepeatsTheProjectPath) {
  // The project folder's path is removed once, at the start: a subfolder that happens to
  // repeat it keeps its name in the key.
  const std::string dir = project();
  const std::string repeat = path_text(fs_path(dir).relative_path());
  write_bytes(path_join(path_join(dir, "img"), path_join(repeat, "x.png")), "X");
  const std::optional<Map> images = dir_pngs(path_join(dir, "img"), &window);
  ASSERT_TRUE(images);
  std::string expected = "img/" + repeat + "/x.png";
  std::replace(expected.begin(), expected.end(), '\\', '/');
  ASSERT_EQ(images->size(), 1u);
  EXPECT_EQ(images->begin()->key(), expected);
}

TEST_F(ProjectReaderTest, NoImageFolderGivesNoImages) {
  const std::string dir = project();
  DialogueRead read = dlg_2_dat(path_join(dir, "dialogue.txt"), &window);
  ASSERT_FALSE(read.failed());
  EXPECT_EQ(read.data["img_data"].size(), 0u);
  EXPECT_TRUE(showed("SKIPPING: Folder doesn't exist: " + normpath(path_join(dir, "img"))));
}

#ifndef _WIN32
TEST_F(ProjectReaderTest, PipesAreNotRead) {
  const std::string dir = project();
  write_bytes(path_join(dir, "img/a.png"), "A");
  ASSERT_EQ(mkfifo(path_join(dir, "img/pipe.png").c_str(), 0600), 0);
  const std::string pipe_dialogue = tmp / "pipe.txt";
  ASSERT_EQ(mkfifo(pipe_dialogue.c_str(), 0600), 0);
  EXPECT_TRUE(dlg_data(pipe_dialogue, &window).failed());
  EXPECT_TRUE(showed("Couldn't load: " + pipe_dialogue));
  const std::optional<Map> images = dir_pngs(path_join(dir, "img"), &window);
  ASSERT_TRUE(images);
  EXPECT_EQ(images->size(), 1u);
  EXPECT_TRUE(images->contains("img/a.png"));
}

// An image or font that cannot be read fails the read with a message naming the file; the
// process (the window) goes on. Run where permissions apply: as root, in a child that drops
// to an unprivileged user first.
TEST_F(ProjectReaderTest, UnreadableFilesFailTheReadAndNameTheFile) {
  const std::string dir = project("Lantern");
  write_bytes(path_join(dir, "img/locked.png"), "L");
  write_bytes(path_join(dir, "font/lantern.ttf"), "F");
  for (const auto& e : fs::recursive_directory_iterator(fs_path(tmp.path())))
    fs::permissions(e.path(), fs::perms::all, fs::perm_options::add);
  fs::permissions(fs_path(tmp.path()), fs::perms::all, fs::perm_options::add);
  auto expect_failure = [&](const std::string& locked) {
    ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
    EXPECT_EXIT(
        {
          if (geteuid() == 0 && setuid(65534) != 0) std::_Exit(3);
          RecordingWindow w;
          const bool failed = dlg_2_dat(path_join(dir, "dialogue.txt"), &w).failed();
          const std::string box = w.calls.empty() ? "" : w.calls.back();
          const bool named = box.rfind(
                                 "error box [Error]: Failed to load file: [Errno 13] "
                                 "Permission denied: '" +
                                     locked + "'",
                                 0) == 0;
          if (!(failed && named)) std::fprintf(stderr, "%d [%s]\n", failed, box.c_str());
          std::_Exit(failed && named ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    ::chmod(locked.c_str(), 0644);
  };
  expect_failure(normpath(path_join(dir, "font/lantern.ttf")));
  expect_failure(normpath(path_join(dir, "img/locked.png")));
}
#endif

TEST_F(ProjectReaderTest, BuiltInFacesEmbedNothing) {
  const std::string dir = project("Arial.ttf");
  write_bytes(path_join(dir, "font/arial.ttf"), "font bytes");
  DialogueRead read = dlg_2_dat(path_join(dir, "dialogue.txt"), &window);
  EXPECT_TRUE(read.data["fnt_data"].is_none());
  EXPECT_TRUE(showed("Using built-in font: Arial.ttf"));

  const std::string unnamed = project("", "unnamed");
  EXPECT_TRUE(dlg_2_dat(path_join(unnamed, "dialogue.txt"), &window).data["fnt_data"].is_none());
  EXPECT_TRUE(showed("No font specified."));
}

TEST_F(ProjectReaderTest, FontIsTheFirstListedFileHoldingTheFace) {
  const std::string dir = project("MyFont");
  write_bytes(path_join(dir, "font/notes.txt"), "not a font");
  write_bytes(path_join(dir, "font/myfont-bold.otf"), "bold");
  write_bytes(path_join(dir, "font/MyFont.ttf"), "regular");
  write_bytes(path_join(dir, "font/other.woff2"), "other");
  DialogueRead read = dlg_2_dat(path_join(dir, "dialogue.txt"), &window);
  // Whichever of the two matching files the folder lists first is embedded.
  std::string first;
  for (const auto& entry : fs::directory_iterator(fs_path(path_join(dir, "font")))) {
    const std::string name = path_text(entry.path().filename());
    if (name == "myfont-bold.otf" || name == "MyFont.ttf") {
      first = name;
      break;
    }
  }
  EXPECT_EQ(read.data["fnt_data"],
            Value::bytes(first == "MyFont.ttf" ? std::string("regular") : "bold"));
  EXPECT_TRUE(showed("Checking font: " + first));
  EXPECT_TRUE(showed("Including font: MyFont"));
  EXPECT_FALSE(showed("Checking font: notes.txt"));
}

TEST_F(ProjectReaderTest, FontFolderFallsBackToFontsAndIgnoresOtherPlaces) {
  const std::string dir = project("Lantern.ttf");
  write_bytes(path_join(dir, "lantern.ttf"), "outside");  // beside the dialogue file
  DialogueRead read = dlg_2_dat(path_join(dir, "dialogue.txt"), &window);
  EXPECT_TRUE(read.data["fnt_data"].is_none());
  EXPECT_TRUE(showed("No font folder found."));

  write_bytes(path_join(dir, "fonts/lantern.ttf"), "from fonts");
  EXPECT_EQ(dlg_2_dat(path_join(dir, "dialogue.txt"), &window).data["fnt_data"],
            Value::bytes("from fonts"));

  // A file named "font" is no folder: "fonts" is used.
  write_bytes(path_join(dir, "font"), "a file");
  EXPECT_EQ(dlg_2_dat(path_join(dir, "dialogue.txt"), &window).data["fnt_data"],
            Value::bytes("from fonts"));

  fs::remove(fs_path(path_join(dir, "font")));
  write_bytes(path_join(dir, "font/Lantern.OTF"), "from font");
  EXPECT_EQ(dlg_2_dat(path_join(dir, "dialogue.txt"), &window).data["fnt_data"],
            Value::bytes("from font"));

  fs::remove_all(fs_path(path_join(dir, "font")));
  fs::remove_all(fs_path(path_join(dir, "fonts")));
  write_bytes(path_join(dir, "font/other.ttf"), "other");
  window.calls.clear();
  EXPECT_TRUE(dlg_2_dat(path_join(dir, "dialogue.txt"), &window).data["fnt_data"].is_none());
  EXPECT_TRUE(showed("No font file found for: Lantern.ttf"));
}

TEST_F(ProjectReaderTest, EmptyFontFileFailsTheRead) {
  const std::string dir = project("Lantern");
  write_bytes(path_join(dir, "font/lantern.ttf"), "");
  DialogueRead read = dlg_2_dat(path_join(dir, "dialogue.txt"), &window);
  EXPECT_TRUE(read.failed());
  const std::string file = normpath(path_join(dir, "font/lantern.ttf"));
  const auto expected = RecordingWindow::error_calls("Failed to font: " + file);
  EXPECT_TRUE(std::search(window.calls.begin(), window.calls.end(), expected.begin(),
                          expected.end()) != window.calls.end());
}

}  // namespace
}  // namespace verbix
