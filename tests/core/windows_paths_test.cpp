// Path texts in the forms Windows users type and paste: drive letters, drive-relative
// paths, UNC shares and mixed separators. Expected values are what the host's own Windows
// path functions give.
#ifdef _WIN32

#include <gtest/gtest.h>

#include <filesystem>

#include "test_support.h"
#include "utils/paths.h"

namespace verbix {
namespace {

struct NormCase {
  const char* in;
  const char* out;
};

TEST(WindowsNormpath, DrivesSharesAndMixedSeparators) {
  const NormCase cases[] = {
      {"C:/a/b/../c", "C:\\a\\c"},
      {"C:\\a/b\\./c//d", "C:\\a\\b\\c\\d"},
      {"C:a\\..\\b", "C:b"},
      {"C:..\\x", "C:..\\x"},
      {"C:/..", "C:\\"},
      {"c:\\A\\", "c:\\A"},
      {"//server/share/a/../b", "\\\\server\\share\\b"},
      {"\\\\server\\share", "\\\\server\\share"},
      {"\\\\server\\share\\..\\..", "\\\\server\\share\\"},
      {"/a\\b/", "\\a\\b"},
  };
  for (const auto& c : cases) EXPECT_EQ(normpath(c.in), c.out) << c.in;
}

// Runs each test in its temporary folder, which lies on drive C: under Wine and Windows.
class WindowsFullPath : public ::testing::Test {
 protected:
  void SetUp() override {
    before_ = std::filesystem::current_path();
    std::filesystem::current_path(fs_path(tmp.path()));
    cwd_ = path_text(std::filesystem::current_path());
  }
  void TearDown() override { std::filesystem::current_path(before_); }

  testing::TempDir tmp;
  std::filesystem::path before_;
  std::string cwd_;
};

TEST_F(WindowsFullPath, RelativeDriveRelativeRootedAndShares) {
  ASSERT_EQ(cwd_.substr(1, 2), ":\\") << cwd_;
  const std::string drive = cwd_.substr(0, 2);
  EXPECT_EQ(full_path("x/../y\\z"), cwd_ + "\\y\\z");
  // "C:sub" is relative to the working folder of drive C:, which is ours.
  EXPECT_EQ(full_path(drive + "sub/./a"), cwd_ + "\\sub\\a");
  EXPECT_EQ(full_path("\\rooted/p"), drive + "\\rooted\\p");
  EXPECT_EQ(full_path(drive + "\\a\\b\\"), drive + "\\a\\b");
  EXPECT_EQ(full_path("//server/share/x/../y"), "\\\\server\\share\\y");
}

struct JoinCase {
  const char* a;
  const char* b;
  const char* out;
};

TEST(WindowsPathJoin, DrivesAndRootsKeepTheirMeaning) {
  const JoinCase cases[] = {
      {"C:\\a", "b", "C:\\a\\b"},
      {"C:\\a\\", "b", "C:\\a\\b"},
      {"C:\\a/", "b", "C:\\a/b"},
      {"C:\\a", "", "C:\\a\\"},
      {"C:\\a", "D:\\x", "D:\\x"},
      {"C:\\a", "\\x", "C:\\x"},
      {"C:\\a", "/x", "C:/x"},
      {"C:\\a", "C:b", "C:\\a\\b"},
      {"C:\\a", "c:b", "c:\\a\\b"},
      {"C:\\a", "D:b", "D:b"},
      {"C:", "x", "C:x"},
      {"C:", "", "C:"},
      {"\\\\srv\\share", "x", "\\\\srv\\share\\x"},
      {"\\\\srv\\share\\d", "\\x", "\\\\srv\\share\\x"},
      {"", "x", "x"},
      {"a", "b", "a\\b"},
  };
  for (const auto& c : cases) EXPECT_EQ(path_join(c.a, c.b), c.out) << c.a << " + " << c.b;
}

}  // namespace
}  // namespace verbix

#endif  // _WIN32
