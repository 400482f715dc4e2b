// The log on Windows: file names from the creation time (which Windows keeps apart from the
// modification time), and a log folder with a non-ASCII name.
#ifdef _WIN32

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <regex>

#include "test_support.h"
#include "utils/file_helpers.h"
#include "utils/file_io.h"
#include "utils/log_service.h"
#include "utils/paths.h"

namespace verbix {
namespace {

using testing::read_bytes;
using testing::UtilsTest;
using testing::write_bytes;

// The local time as a file time (UTC).
FILETIME file_time(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
  SYSTEMTIME local{year, month, 0, day, hour, minute, second, 0}, utc;
  FILETIME ft{};
  EXPECT_TRUE(TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc));
  EXPECT_TRUE(SystemTimeToFileTime(&utc, &ft));
  return ft;
}

// The file's creation and modification times, as "%Y%m%d%H%M%S" in local time.
std::pair<std::string, std::string> file_times(const std::string& path) {
  HANDLE h = CreateFileW(fs_path(path).c_str(), FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  FILETIME created{}, written{};
  EXPECT_TRUE(GetFileTime(h, &created, nullptr, &written));
  CloseHandle(h);
  auto text = [](FILETIME ft) {
    SYSTEMTIME utc, local;
    FileTimeToSystemTime(&ft, &utc);
    SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04u%02u%02u%02u%02u%02u", local.wYear, local.wMonth,
                  local.wDay, local.wHour, local.wMinute, local.wSecond);
    return std::string(buf);
  };
  return {text(created), text(written)};
}

void set_times(const std::string& path, const FILETIME* created, const FILETIME* written) {
  HANDLE h = CreateFileW(fs_path(path).c_str(), FILE_WRITE_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(SetFileTime(h, created, nullptr, written));
  CloseHandle(h);
}

// "日本語" in UTF-8.
const std::string kFolder = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E";

using WindowsTimestamp = UtilsTest;

TEST_F(WindowsTimestamp, IsTheCreationTimeNotTheModificationTime) {
  const std::string file = tmp / (kFolder + "\\espa\xC3\xB1ol.txt");
  write_bytes(file, "x");
  const FILETIME old = file_time(2001, 2, 3, 4, 5, 6);
  set_times(file, nullptr, &old);
  const auto [created, written] = file_times(file);
  ASSERT_EQ(written, "20010203040506");
  EXPECT_EQ(utils.timestamp(file), created);
  if (created == written)
    GTEST_SKIP() << "the file system keeps no creation time apart from the modification time "
                    "(Wine on Linux)";
  EXPECT_NE(utils.timestamp(file), written);
}

TEST_F(WindowsTimestamp, FollowsASetCreationTime) {
  const std::string file = tmp / (kFolder + "\\created.txt");
  write_bytes(file, "x");
  const FILETIME when = file_time(2019, 11, 12, 13, 14, 15);
  set_times(file, &when, nullptr);
  if (file_times(file).first != "20191112131415")
    GTEST_SKIP() << "the file system does not keep a creation time that is set (Wine on Linux)";
  EXPECT_EQ(utils.timestamp(file), "20191112131415");
}

using WindowsLogFile = UtilsTest;

TEST_F(WindowsLogFile, NamedFromTheClockInANonAsciiFolderAndPruned) {
  const std::string dir = full_path(tmp / (kFolder + "\\logs"));
  utils.log_dir_and_file(dir, "log.txt");
  for (int i = 0; i < 3; ++i)
    write_bytes(dir + "\\log_2000010100000" + std::to_string(i) + "..txt", "");
  utils.LOG_FMAX = 2;
  const std::string before = utils.timestamp();
  utils.info("l\xC3\xADnea");
  utils.log_flush();
  const std::string after = utils.timestamp();
  const std::string name = path_basename(utils.current_log);
  std::smatch m;
  ASSERT_TRUE(std::regex_match(name, m, std::regex("log_([0-9]{14})\\.\\.txt"))) << name;
  EXPECT_LE(before, m[1].str());
  EXPECT_GE(after, m[1].str());
  EXPECT_EQ(path_dirname(utils.current_log), dir);
  EXPECT_EQ(read_bytes(utils.current_log), "l\xC3\xADnea\r\n");
  utils.info("more");
  utils.log_flush();  // an appending flush prunes to the newest two
  EXPECT_EQ(read_bytes(utils.current_log), "l\xC3\xADnea\r\nmore\r\n");
  std::vector<std::string> left = glob_paths(dir + "\\*..TXT");
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{dir + "\\log_20000101000002..txt", utils.current_log}));
  EXPECT_TRUE(utils._errors.empty()) << utils._errors.at(0);
}

}  // namespace
}  // namespace verbix

#endif  // _WIN32
