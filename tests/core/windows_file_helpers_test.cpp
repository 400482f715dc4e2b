// The file helpers on Windows: drive paths with dotted folder names, the command
// interpreter's fallbacks when the direct deletion or copy is refused, and a project folder
// with a non-ASCII name.
#ifdef _WIN32

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>

#include "test_support.h"
#include "text/utf8.h"
#include "utils/file_helpers.h"
#include "utils/file_io.h"

namespace verbix {
namespace {

namespace fs = std::filesystem;
using testing::read_bytes;
using testing::UtilsTest;
using testing::write_bytes;

// A handle on the file that denies other openers what `share` leaves out; closed when the
// object goes.
class HeldOpen {
 public:
  HeldOpen(const std::string& path, DWORD share)
      : handle_(CreateFileW(fs_path(path).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS, nullptr)) {}
  ~HeldOpen() {
    if (ok()) CloseHandle(handle_);
  }
  HeldOpen(const HeldOpen&) = delete;
  HeldOpen& operator=(const HeldOpen&) = delete;
  bool ok() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

void set_read_only(const std::string& path, bool on) {
  const std::wstring wide = fs_path(path).wstring();
  const DWORD attrs = GetFileAttributesW(wide.c_str());
  ASSERT_NE(attrs, INVALID_FILE_ATTRIBUTES) << path;
  ASSERT_TRUE(SetFileAttributesW(wide.c_str(), on ? attrs | FILE_ATTRIBUTE_READONLY
                                                  : attrs & ~DWORD{FILE_ATTRIBUTE_READONLY}));
}

bool opens_for_writing(const std::string& path) {
  HANDLE h = CreateFileW(fs_path(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

// The test's folder in its drive form ("C:\...").
std::string drive_form(const testing::TempDir& tmp) {
  const std::string base = full_path(tmp.path());
  EXPECT_EQ(base.substr(1, 2), ":\\") << base;
  return base;
}

using WindowsEnsureDir = UtilsTest;

TEST_F(WindowsEnsureDir, DottedLastNameIsAFileNameOnlyItsParentIsMade) {
  const std::string base = drive_form(tmp);
  EXPECT_TRUE(ensure_dir(base + "\\work\\notes.old"));
  EXPECT_TRUE(is_directory(base + "\\work"));
  EXPECT_FALSE(path_exists(base + "\\work\\notes.old"));
  EXPECT_TRUE(ensure_dir(base + "/mixed\\a/b"));
  EXPECT_TRUE(is_directory(base + "\\mixed\\a\\b"));
  EXPECT_TRUE(utils._errors.empty());
}

TEST_F(WindowsEnsureDir, ExistingDottedFolderIsTheFolderAndReceivesCopies) {
  const std::string base = drive_form(tmp);
  fs::create_directories(fs_path(base + "\\work\\notes.old"));
  EXPECT_TRUE(ensure_dir(base + "\\work\\notes.old"));
  write_bytes(base + "\\dialogue.txt", "text");
  copy_file(base + "\\dialogue.txt", base + "\\work\\notes.old");
  EXPECT_EQ(read_bytes(base + "\\work\\notes.old\\dialogue.txt"), "text");
  EXPECT_TRUE(utils._errors.empty()) << utils._errors.at(0);
}

using WindowsDeleteFallback = UtilsTest;

TEST_F(WindowsDeleteFallback, ReadOnlyFileGoesThroughTheInterpreter) {
  const std::string file = drive_form(tmp) + "\\locked.txt";
  write_bytes(file, "x");
  set_read_only(file, true);
  EXPECT_TRUE(delete_file(file));
  EXPECT_FALSE(path_exists(file));
  EXPECT_EQ(utils._output, std::vector<std::string>{"OS deleted file: " + file});
  EXPECT_TRUE(utils._errors.empty()) << utils._errors.at(0);
}

TEST_F(WindowsDeleteFallback, FolderWithReadOnlyFileGoesThroughTheInterpreter) {
  const std::string dir = drive_form(tmp) + "\\font";
  write_bytes(dir + "\\sub\\glyphs.png", "x");
  set_read_only(dir + "\\sub\\glyphs.png", true);
  EXPECT_TRUE(delete_dir(dir));
  EXPECT_FALSE(path_exists(dir));
  EXPECT_EQ(utils._output, std::vector<std::string>{"OS deleted folder: " + dir});
  EXPECT_TRUE(utils._errors.empty()) << utils._errors.at(0);
}

TEST_F(WindowsDeleteFallback, FileHeldWithoutSharingStaysAndIsReported) {
  const std::string file = drive_form(tmp) + "\\open.txt";
  write_bytes(file, "x");
  HeldOpen held(file, 0);
  ASSERT_TRUE(held.ok());
  EXPECT_FALSE(delete_file(file));
  EXPECT_TRUE(path_exists(file));
  EXPECT_TRUE(utils._output.empty());
  ASSERT_EQ(utils._errors.size(), 1u);
  const std::string head = "ERROR (1): Failed to delete file '" + file + "': ";
  EXPECT_TRUE(utils._errors[0].starts_with(head)) << utils._errors[0];
  EXPECT_GT(utils._errors[0].size(), head.size());
}

TEST_F(WindowsDeleteFallback, FolderWithHeldFileStaysAndIsReported) {
  const std::string dir = drive_form(tmp) + "\\images";
  write_bytes(dir + "\\a.png", "x");
  HeldOpen held(dir + "\\a.png", 0);
  ASSERT_TRUE(held.ok());
  EXPECT_FALSE(delete_dir(dir));
  EXPECT_TRUE(path_exists(dir + "\\a.png"));
  EXPECT_TRUE(utils._output.empty());
  ASSERT_EQ(utils._errors.size(), 1u);
  const std::string head = "ERROR (1): Failed to delete directory '" + dir + "': ";
  EXPECT_TRUE(utils._errors[0].starts_with(head)) << utils._errors[0];
  EXPECT_GT(utils._errors[0].size(), head.size());
}

// The interpreter splits its command line at & , ; = and the like outside quotes: the
// fallback must delete the named file and nothing else.
TEST_F(WindowsDeleteFallback, InterpreterSpecialCharactersInNamesAreLiteral) {
  const std::string base = drive_form(tmp);
  for (const std::string name : {"Tom&Jerry.txt", "a,b.txt", "c;d.txt", "e=f.txt", "g(1)^.txt"}) {
    SCOPED_TRACE(name);
    const std::string decoy = base + "\\" + name.substr(0, name.find_first_of("&,;=("));
    write_bytes(decoy, "keep");
    write_bytes(base + "\\" + name, "x");
    set_read_only(base + "\\" + name, true);
    EXPECT_TRUE(delete_file(base + "\\" + name));
    EXPECT_FALSE(path_exists(base + "\\" + name));
    EXPECT_TRUE(path_exists(decoy));
  }
  EXPECT_TRUE(utils._errors.empty()) << utils._errors.at(0);
}

TEST_F(WindowsDeleteFallback, PercentInANameKeepsTheInterpreterOut) {
  // %OS% would read as "Windows_NT" to the interpreter: the decoy must survive.
  const std::string base = drive_form(tmp);
  const std::string file = base + "\\%OS%.txt";
  write_bytes(base + "\\Windows_NT.txt", "keep");
  write_bytes(file, "x");
  set_read_only(file, true);
  EXPECT_FALSE(delete_file(file));
  EXPECT_TRUE(path_exists(file));
  EXPECT_TRUE(path_exists(base + "\\Windows_NT.txt"));
  ASSERT_EQ(utils._errors.size(), 1u);
  EXPECT_EQ(utils._errors[0], "ERROR (1): Failed to delete file '" + file +
                                  "': the command interpreter would expand '%' in '" + file + "'");
  set_read_only(file, false);
}

class WindowsCopyFallback : public UtilsTest {
 protected:
  // A read-only file would outlive the temporary folder on Windows.
  void TearDown() override {
    if (path_exists(tmp / "old.txt")) set_read_only(tmp / "old.txt", false);
    UtilsTest::TearDown();
  }
};

TEST_F(WindowsCopyFallback, ReadOnlyDestinationKeepsItsContentAndIsReported) {
  const std::string base = drive_form(tmp);
  write_bytes(base + "\\new.txt", "new");
  write_bytes(base + "\\old.txt", "old");
  set_read_only(base + "\\old.txt", true);
  if (opens_for_writing(base + "\\old.txt"))
    GTEST_SKIP() << "read-only files open for writing here (Wine run as root ignores the "
                    "attribute), so neither copy can be refused";
  copy_file(base + "\\new.txt", base + "\\old.txt");
  EXPECT_EQ(read_bytes(base + "\\old.txt"), "old");
  ASSERT_EQ(utils._errors.size(), 1u);
  const std::string head =
      "ERROR (1): Failed to copy file '" + base + "\\new.txt' to '" + base + "\\old.txt': ";
  EXPECT_TRUE(utils._errors[0].starts_with(head)) << utils._errors[0];
  EXPECT_GT(utils._errors[0].size(), head.size());
}

TEST_F(WindowsCopyFallback, SourceHeldWithoutSharingIsReported) {
  const std::string base = drive_form(tmp);
  write_bytes(base + "\\src.txt", "data");
  HeldOpen held(base + "\\src.txt", 0);
  ASSERT_TRUE(held.ok());
  copy_file(base + "\\src.txt", base + "\\out\\dst.txt");
  EXPECT_FALSE(is_regular_file(base + "\\out\\dst.txt") &&
               read_bytes(base + "\\out\\dst.txt") == "data");
  ASSERT_EQ(utils._errors.size(), 1u);
  EXPECT_TRUE(utils._errors[0].starts_with("ERROR (1): Failed to copy file '" + base +
                                           "\\src.txt' to '" + base + "\\out\\dst.txt': "))
      << utils._errors[0];
  EXPECT_NE(utils._errors[0].back(), ' ');  // the interpreter's own words follow
}

using WindowsNonAscii = UtilsTest;

// "Español\日本語" in UTF-8.
const std::string kProject = "Espa\xC3\xB1ol\\\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E";

TEST_F(WindowsNonAscii, ProjectFolderRoundTrips) {
  const std::string dir = drive_form(tmp) + "\\" + kProject;
  EXPECT_TRUE(ensure_dir(dir + "\\font"));
  EXPECT_TRUE(is_directory(dir + "\\font"));

  const std::string text = "\xC2\xA1Hola!\n\xE3\x81\x93\xE3\x82\x93\n";
  EXPECT_EQ(txt_save(dir + "\\dialogue.txt", text), 0);
  EXPECT_EQ(read_bytes(dir + "\\dialogue.txt"), to_platform_newlines(text));
  EXPECT_EQ(txt_load(dir + "\\dialogue.txt"), text);

  const CsvTable rows = {{"ID", "Source"}, {"a,\xC3\xB1", "\xE8\xAA\x9E \"q\""}};
  EXPECT_EQ(csv_save(dir + "\\dialogue.csv", rows), 0);
  EXPECT_EQ(csv_load(dir + "\\dialogue.csv"), rows);

  copy_file(dir + "\\dialogue.txt", dir + "\\copia\xC3\xB1.txt");
  EXPECT_EQ(read_bytes(dir + "\\copia\xC3\xB1.txt"), to_platform_newlines(text));

  std::vector<std::string> found = glob_paths(dir + "\\*.txt");
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, (std::vector<std::string>{dir + "\\copia\xC3\xB1.txt", dir + "\\dialogue.txt"}));
  EXPECT_EQ(glob_paths(dir + "\\*.TXT").size(), 2u);  // names match without case

  EXPECT_TRUE(delete_file(dir + "\\copia\xC3\xB1.txt"));
  EXPECT_FALSE(path_exists(dir + "\\copia\xC3\xB1.txt"));
  EXPECT_TRUE(delete_dir(dir));
  EXPECT_FALSE(path_exists(dir));
  EXPECT_TRUE(utils._errors.empty()) << utils._errors.at(0);
  for (const std::string& line : utils._output) EXPECT_FALSE(utf8_error(line)) << line;
}

TEST_F(WindowsNonAscii, ReadOnlyFileGoesThroughTheInterpreter) {
  const std::string file = drive_form(tmp) + "\\" + kProject + "\\fuente.png";
  write_bytes(file, "x");
  set_read_only(file, true);
  EXPECT_TRUE(delete_file(file));
  EXPECT_FALSE(path_exists(file));
  EXPECT_EQ(utils._output, std::vector<std::string>{"OS deleted file: " + file});
}

}  // namespace
}  // namespace verbix

#endif  // _WIN32
