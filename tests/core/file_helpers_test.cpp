#include "utils/file_helpers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "test_support.h"
#include "utils/file_io.h"
#include "utils/os_error.h"

namespace verbix {
namespace {

namespace fs = std::filesystem;
using testing::read_bytes;
using testing::UtilsTest;
using testing::write_bytes;

using EnsureDir = UtilsTest;

TEST_F(EnsureDir, ExistingFolderIsTrueAndUntouched) {
  EXPECT_TRUE(ensure_dir(tmp.path()));
  EXPECT_TRUE(utils._errors.empty());
}

TEST_F(EnsureDir, PathWithExtensionCreatesOnlyItsParent) {
  EXPECT_TRUE(ensure_dir(tmp / "work/notes.old"));
  EXPECT_TRUE(is_directory(tmp / "work"));
  EXPECT_FALSE(path_exists(tmp / "work/notes.old"));
}

TEST_F(EnsureDir, PathWithoutExtensionIsTheFolder) {
  EXPECT_TRUE(ensure_dir(tmp / "a/b/c"));
  EXPECT_TRUE(is_directory(tmp / "a/b/c"));
  EXPECT_TRUE(ensure_dir(tmp / "d/trailing."));
  EXPECT_FALSE(path_exists(tmp / "d/trailing."));
}

TEST_F(EnsureDir, ExistingFileMeansItsFolder) {
  write_bytes(tmp / "plain", "x");
  EXPECT_TRUE(ensure_dir(tmp / "plain"));
}

TEST_F(EnsureDir, FileInTheWayIsAnErrorLine) {
  write_bytes(tmp / "file", "x");
  EXPECT_FALSE(ensure_dir(tmp / "file/sub/x.txt"));
  ASSERT_EQ(utils._errors.size(), 1u);
  EXPECT_TRUE(utils._errors[0].starts_with("ERROR (1): utils.ensure_dir() OSError '" +
                                           full_path(tmp / "file/sub/x.txt") + "' : "))
      << utils._errors[0];
}

using Delete = UtilsTest;

TEST_F(Delete, MissingPathsAreTrueAndQuietUnlessVerbose) {
  EXPECT_TRUE(delete_dir(tmp / "none"));
  EXPECT_TRUE(delete_file(tmp / "none"));
  EXPECT_TRUE(utils._output.empty());
  EXPECT_TRUE(delete_dir(tmp / "none", true));
  EXPECT_TRUE(delete_file(tmp / "none2", true));
  EXPECT_EQ(utils._output,
            (std::vector<std::string>{"File doesn't exist, can't delete: " + (tmp / "none"),
                                      "File doesn't exist, can't delete: " + (tmp / "none2")}));
}

TEST_F(Delete, FolderWithContentAndFile) {
  write_bytes(tmp / "d/sub/f.txt", "x");
  write_bytes(tmp / "g.txt", "y");
  EXPECT_TRUE(delete_dir(tmp / "d"));
  EXPECT_TRUE(delete_file(tmp / "g.txt"));
  EXPECT_FALSE(path_exists(tmp / "d"));
  EXPECT_FALSE(path_exists(tmp / "g.txt"));
  EXPECT_EQ(utils._output, (std::vector<std::string>{"Deleted folder: " + (tmp / "d"),
                                                     "Deleted file: " + (tmp / "g.txt")}));
}

TEST_F(Delete, BothAttemptsFailingIsAnErrorLine) {
  // A folder cannot be deleted as a file by either attempt.
  fs::create_directories(fs_path(tmp / "folder/inner"));
  EXPECT_FALSE(delete_file(tmp / "folder"));
  EXPECT_TRUE(is_directory(tmp / "folder/inner"));
  ASSERT_EQ(utils._errors.size(), 1u);
  EXPECT_TRUE(utils._errors[0].starts_with("ERROR (1): Failed to delete file '" + (tmp / "folder") +
                                           "': "));
}

#ifndef _WIN32
TEST_F(Delete, FileIsNotDeletedAsAFolder) {
  write_bytes(tmp / "file.txt", "x");
  EXPECT_FALSE(delete_dir(tmp / "file.txt"));
  EXPECT_TRUE(is_regular_file(tmp / "file.txt"));
  EXPECT_TRUE(utils._errors.at(0).starts_with("ERROR (1): Failed to delete directory '" +
                                              (tmp / "file.txt") + "': "));
}
#endif

TEST_F(Delete, EmptySubdirsGoDeepestFirstRootStays) {
  fs::create_directories(fs_path(tmp / "root/a/b/c"));
  fs::create_directories(fs_path(tmp / "root/d"));
  write_bytes(tmp / "root/keep/file.png", "x");
  fs::create_directories(fs_path(tmp / "root/keep/empty"));
  delete_empty_subdirs(tmp / "root");
  EXPECT_TRUE(is_directory(tmp / "root"));
  EXPECT_FALSE(path_exists(tmp / "root/a"));
  EXPECT_FALSE(path_exists(tmp / "root/d"));
  EXPECT_FALSE(path_exists(tmp / "root/keep/empty"));
  EXPECT_TRUE(is_regular_file(tmp / "root/keep/file.png"));
  delete_empty_subdirs(tmp / "missing");  // not a folder: nothing to do
}

using Copy = UtilsTest;

TEST_F(Copy, SkipsExistingWhenNotForcedOverwritesByDefault) {
  write_bytes(tmp / "src.txt", "new");
  write_bytes(tmp / "dst.txt", "old");
  copy_file(tmp / "src.txt", tmp / "dst.txt", false);
  EXPECT_EQ(read_bytes(tmp / "dst.txt"), "old");
  EXPECT_EQ(utils._output.back(), "Copy skipped. Destination path '" + (tmp / "dst.txt") +
                                      "' exists and overwrite is disabled.");
  copy_file(tmp / "src.txt", tmp / "dst.txt");
  EXPECT_EQ(read_bytes(tmp / "dst.txt"), "new");
  EXPECT_EQ(utils._output.back(), "Copied file: " + (tmp / "src.txt") + " to " + (tmp / "dst.txt"));
}

TEST_F(Copy, KeepsModificationTime) {
  write_bytes(tmp / "src.txt", "x");
  const auto old_time = fs::file_time_type::clock::now() - std::chrono::hours(48);
  fs::last_write_time(fs_path(tmp / "src.txt"), old_time);
  copy_file(tmp / "src.txt", tmp / "out/copy.txt");
  EXPECT_EQ(fs::last_write_time(fs_path(tmp / "out/copy.txt")),
            fs::last_write_time(fs_path(tmp / "src.txt")));
}

TEST_F(Copy, DestinationWithoutExtensionIsAFolder) {
  write_bytes(tmp / "image.png", "png");
  copy_file(tmp / "image.png", tmp / "backup");
  EXPECT_EQ(read_bytes(tmp / "backup/image.png"), "png");
}

TEST_F(Copy, MissingSourceIsAnErrorLine) {
  copy_file(tmp / "none.txt", tmp / "out.txt");
  ASSERT_EQ(utils._errors.size(), 1u);
  EXPECT_TRUE(utils._errors[0].starts_with("ERROR (1): Failed to copy file '" + (tmp / "none.txt") +
                                           "' to '" + (tmp / "out.txt") + "': "));
}

class FileLimit : public UtilsTest {
 protected:
  void make(int count) {
    for (int i = 0; i < count; ++i) write_bytes(tmp / ("f" + std::to_string(10 + i) + ".log"), "");
    write_bytes(tmp / "other.txt", "");
  }
  size_t left() { return glob_paths(tmp / "*.log").size(); }
};

TEST_F(FileLimit, KeepsTheNamesThatSortLast) {
  make(5);
  file_limit(3, tmp.path(), "*.log");
  EXPECT_EQ(left(), 3u);
  EXPECT_FALSE(path_exists(tmp / "f10.log"));
  EXPECT_FALSE(path_exists(tmp / "f11.log"));
  EXPECT_TRUE(path_exists(tmp / "f14.log"));
  EXPECT_TRUE(path_exists(tmp / "other.txt"));
}

TEST_F(FileLimit, ZeroOrNegativeDeletesEveryMatchExactCountNone) {
  make(4);
  file_limit(4, tmp.path(), "*.log");
  EXPECT_EQ(left(), 4u);
  file_limit(-2, tmp.path(), "*.log");
  EXPECT_EQ(left(), 0u);
  make(2);
  file_limit(0, tmp.path(), "*.log");
  EXPECT_EQ(left(), 0u);
}

TEST_F(FileLimit, FailedDeletionReachesTheCaller) {
  fs::create_directories(fs_path(tmp / "a_folder.log"));
  write_bytes(tmp / "b.log", "");
  EXPECT_THROW(file_limit(1, tmp.path(), "*.log"), OsError);
}

using TextFiles = UtilsTest;

TEST_F(TextFiles, SaveLoadRoundTripWithPlatformLineEndings) {
  const std::string text = "line one\nzwei \xC3\xA4\n\xE6\x97\xA5\xE6\x9C\xAC\n";
  EXPECT_EQ(txt_save(tmp / "sub/d.txt", text), 0);
  EXPECT_EQ(read_bytes(tmp / "sub/d.txt"), to_platform_newlines(text));
  EXPECT_EQ(txt_load(tmp / "sub/d.txt"), text);
  EXPECT_EQ(utils._output,
            (std::vector<std::string>{"TXT file saved: " + full_path(tmp / "sub/d.txt"),
                                      "TXT file loaded: " + full_path(tmp / "sub/d.txt")}));
}

TEST_F(TextFiles, EveryLineBreakReadsAsLf) {
  write_bytes(tmp / "crlf.txt", "a\r\nb\rc\n\xEF\xBB\xBFkeep");
  EXPECT_EQ(txt_load(tmp / "crlf.txt"), "a\nb\nc\n\xEF\xBB\xBFkeep");
}

TEST_F(TextFiles, MissingIsEmptyTextInvalidUtf8IsNone) {
  EXPECT_EQ(txt_load(tmp / "none.txt"), "");
  EXPECT_EQ(utils._output.back(), "TXT file not found: " + full_path(tmp / "none.txt"));
  write_bytes(tmp / "bad.txt", "ok\xff");
  EXPECT_EQ(txt_load(tmp / "bad.txt"), std::nullopt);
  ASSERT_EQ(utils._errors.size(), 1u);
  EXPECT_EQ(utils._errors[0],
            "ERROR ('utf-8' codec can't decode byte 0xff in position 2: invalid start byte): "
            "TXT load error " +
                full_path(tmp / "bad.txt"));
}

TEST_F(TextFiles, UnwritablePathIsAnIoErrorAndLeavesNoTemporaryFile) {
  fs::create_directories(fs_path(tmp / "taken.txt"));
  EXPECT_EQ(txt_save(tmp / "taken.txt", "x"), 1);
  ASSERT_EQ(utils._errors.size(), 1u);
  EXPECT_NE(utils._errors[0].find("): TXT save IOError: " + full_path(tmp / "taken.txt")),
            std::string::npos);
  EXPECT_EQ(glob_paths(tmp / "*.tmp*").size(), 0u);
}

TEST_F(TextFiles, ReadingAFolderIsAnIoError) {
  fs::create_directories(fs_path(tmp / "dir.txt"));
  EXPECT_EQ(txt_load(tmp / "dir.txt"), std::nullopt);
  EXPECT_NE(utils._errors.at(0).find("): TXT load IOError " + full_path(tmp / "dir.txt")),
            std::string::npos);
}

using CsvFiles = UtilsTest;

TEST_F(CsvFiles, SaveLoadRoundTrip) {
  const CsvTable rows = {{"ID", "Source"}, {"a,b", "say \"hi\""}, {}, {""}, {"multi\nline\r\n"}};
  EXPECT_EQ(csv_save(tmp / "d.csv", rows), 0);
  EXPECT_EQ(csv_load(tmp / "d.csv"), rows);
}

TEST_F(CsvFiles, MissingIsNoneUnterminatedQuoteIsAnErrorAfterTheLoadedLine) {
  EXPECT_EQ(csv_load(tmp / "none.csv"), std::nullopt);
  EXPECT_EQ(utils._output.back(), "CSV file not found: " + full_path(tmp / "none.csv"));
  write_bytes(tmp / "open.csv", "a,\"never closed\r\nb,c\r\n");
  EXPECT_EQ(csv_load(tmp / "open.csv"), std::nullopt);
  EXPECT_EQ(utils._output.back(), "CSV file loaded: " + full_path(tmp / "open.csv"));
  ASSERT_EQ(utils._errors.size(), 1u);
  EXPECT_EQ(utils._errors[0],
            "ERROR (unexpected end of data): CSV load error " + full_path(tmp / "open.csv"));
}

// What "CSV (Comma delimited)" saves on a Western Windows: Windows-1252, ";" in some locales.
TEST_F(CsvFiles, NotUtf8NamesTheRowAndTheFix) {
  write_bytes(tmp / "dialogue.csv",
              "Language;Font File;Font Size\r\n\"a\r\nb\";x\r\nCaf\xE9;y\r\n");
  std::string problem;
  EXPECT_EQ(csv_load(tmp / "dialogue.csv", problem), std::nullopt);
  EXPECT_EQ(problem, "dialogue.csv is not UTF-8 text (row 3): save it as CSV UTF-8 and try again.");
  write_bytes(tmp / "dialogue.csv", "Language;Font File;Font Size\r\nx;y;1\r\n");
  problem.clear();
  EXPECT_EQ(csv_load(tmp / "dialogue.csv", problem),
            (CsvTable{{"Language", "Font File", "Font Size"}, {"x", "y", "1"}}));
  EXPECT_EQ(problem, "");
}

TEST_F(CsvFiles, InvalidUtf8IsAnErrorAfterTheLoadedLine) {
  write_bytes(tmp / "bad.csv", "a,\xC3(\r\n");
  EXPECT_EQ(csv_load(tmp / "bad.csv"), std::nullopt);
  EXPECT_EQ(utils._output.back(), "CSV file loaded: " + full_path(tmp / "bad.csv"));
  EXPECT_NE(utils._errors.at(0).find("invalid continuation byte): CSV load error "),
            std::string::npos);
}

}  // namespace
}  // namespace verbix

namespace verbix {
namespace {

#ifndef _WIN32
// The folder opener is a child process; a stand-in script records what it was given.
class OpenDir : public UtilsTest {
 protected:
  void SetUp() override {
    UtilsTest::SetUp();
    opener_ = tmp / "opener.sh";
    write_bytes(opener_, "#!/bin/sh\nprintf '%s' \"$1\" > \"$0.args\"\n");
    fs::permissions(fs_path(opener_), fs::perms::owner_all);
    setenv("VERBIX_OPENER", opener_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("VERBIX_OPENER");
    UtilsTest::TearDown();
  }
  // What the opener was started with, once it has run.
  std::string opened() {
    for (int i = 0; i < 200 && !path_exists(opener_ + ".args"); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return path_exists(opener_ + ".args") ? read_bytes(opener_ + ".args") : "";
  }
  std::string opener_;
};

TEST_F(OpenDir, OpensTheFolderOfAnExistingPath) {
  write_bytes(tmp / "logs/log.txt", "x");
  open_dir(tmp / "logs", " log.txt ");
  EXPECT_EQ(opened(), tmp / "logs");
  EXPECT_TRUE(utils._errors.empty());
}

TEST_F(OpenDir, MissingPathIsAnErrorLine) {
  open_dir(tmp / "none");
  EXPECT_EQ(utils._errors,
            std::vector<std::string>{"ERROR (1): Path doesn't exist: " + (tmp / "none") + "/"});
}

TEST_F(OpenDir, MissingOpenerIsAnErrorLineNotACrash) {
  setenv("VERBIX_OPENER", "no-such-opener-anywhere", 1);
  open_dir(tmp.path());
  ASSERT_EQ(utils._errors.size(), 1u);
  EXPECT_EQ(utils._errors[0].rfind("ERROR (1): Failed to open folder '" + tmp.path() + "/': ", 0),
            0u);
}

#endif  // _WIN32

}  // namespace
}  // namespace verbix
