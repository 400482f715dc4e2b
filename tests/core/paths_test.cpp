#include "utils/paths.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace verbix {
namespace {

struct NormCase {
  const char* in;
  const char* out;
};

// Expected values are what the host's own path normalisation gives.
TEST(Normpath, PosixTable) {
  const NormCase cases[] = {
      {"", "."},           {"/", "/"},       {"//", "//"},    {"///", "/"},
      {"a//b", "a/b"},     {"a/./b", "a/b"}, {"a/../b", "b"}, {"../a", "../a"},
      {"/../a", "/a"},     {"a/b/..", "a"},  {"a/..", "."},   {"a/../..", ".."},
      {"//x/../y", "//y"}, {"a/b/", "a/b"},  {"./", "."},     {"x/../../y", "../y"},
  };
  for (const auto& c : cases) EXPECT_EQ(normpath_posix(c.in), c.out) << c.in;
}

TEST(Normpath, WindowsTable) {
  const NormCase cases[] = {
      {"C:/work/notes.old", "C:\\work\\notes.old"},
      {"C:\\a\\..\\..\\b", "C:\\b"},
      {"\\\\server\\share\\x\\..", "\\\\server\\share\\"},
      {"a\\.\\b\\\\c", "a\\b\\c"},
      {"..\\a", "..\\a"},
      {"", "."},
      {"C:", "C:"},
      {"\\x\\..\\..", "\\"},
  };
  for (const auto& c : cases) EXPECT_EQ(normpath_windows(c.in), c.out) << c.in;
}

TEST(PathParts, ExtensionRules) {
  EXPECT_EQ(path_extension("notes.old"), ".old");
  EXPECT_EQ(path_extension("/a/b.c/d"), "");
  EXPECT_EQ(path_extension("trailing."), ".");
  EXPECT_EQ(path_extension(".bashrc"), "");
  EXPECT_EQ(path_extension("..a"), "");
  EXPECT_EQ(path_extension("/x/.a.b"), ".b");
  EXPECT_EQ(path_extension("log_20250413073919..txt"), ".txt");
}

TEST(PathParts, DirnameBasenameJoin) {
  EXPECT_EQ(path_dirname("/a/b"), "/a");
  EXPECT_EQ(path_dirname("/a"), "/");
  EXPECT_EQ(path_dirname("a"), "");
  EXPECT_EQ(path_basename("/a/b"), "b");
  EXPECT_EQ(path_basename("/a/"), "");
  EXPECT_EQ(path_join("/a", "b"), std::string("/a") + kPathSep + "b");
  EXPECT_EQ(path_join("/a/", "b"), "/a/b");
  EXPECT_EQ(path_join("/a", ""), std::string("/a") + kPathSep);
  EXPECT_EQ(path_join("/a", "/b"), "/b");
}

TEST(FullPath, RelativeToWorkingFolder) {
  const std::string cwd = path_text(std::filesystem::current_path());
  EXPECT_EQ(full_path("x/../y"), normpath(cwd + "/y"));
  EXPECT_EQ(full_path(""), normpath(cwd));
#ifdef _WIN32
  EXPECT_EQ(full_path("/abs//p/./q"), cwd.substr(0, 2) + "\\abs\\p\\q");
  EXPECT_EQ(full_path("C:/work/notes.old"), "C:\\work\\notes.old");
#else
  EXPECT_EQ(full_path("/abs//p/./q"), "/abs/p/q");
#endif
}

TEST(FsPath, KeepsNonAsciiNames) {
  const std::string name = "Espa\xC3\xB1ol/\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E";
  EXPECT_EQ(path_text(fs_path(name)), name);
}

}  // namespace
}  // namespace verbix
