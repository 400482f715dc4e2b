#include "utils/log_service.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <regex>

#include "test_support.h"
#include "utils/file_io.h"
#include "utils/paths.h"

namespace verbix {
namespace {

using testing::read_bytes;
using testing::UtilsTest;
using testing::write_bytes;

std::vector<std::string> files_in(const std::string& dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(fs_path(dir), ec))
    names.push_back(path_text(entry.path().filename()));
  std::sort(names.begin(), names.end());
  return names;
}

using LogFileName = UtilsTest;

TEST_F(LogFileName, StemUnderscoreFourteenDigitsDotExtension) {
  utils.info("first");
  utils.log_flush();
  const auto names = files_in(utils.LOG_PATH);
  ASSERT_EQ(names.size(), 1u);
  EXPECT_TRUE(std::regex_match(names[0], std::regex("log_[0-9]{14}\\.\\.txt"))) << names[0];
  EXPECT_EQ(utils.current_log, path_join(utils.LOG_PATH, names[0]));
}

TEST_F(LogFileName, DirAndFileSplitsAtLastDot) {
  utils.log_dir_and_file("x", "log.txt");
  EXPECT_EQ(utils.LOG_NAME, "log");
  EXPECT_EQ(utils.LOG_EXTN, ".txt");
  utils.log_dir_and_file("x", "noext");
  EXPECT_EQ(utils.LOG_NAME, "noext");
  EXPECT_EQ(utils.LOG_EXTN, "");
}

TEST_F(LogFileName, DirAndFileWithoutNameJoinsCurrentOnes) {
  utils.LOG_NAME = "results";
  utils.LOG_EXTN = ".log";
  utils.log_dir_and_file("elsewhere", std::nullopt);
  EXPECT_EQ(utils.LOG_PATH, "elsewhere");
  EXPECT_EQ(utils.LOG_NAME, "results.");
  EXPECT_EQ(utils.LOG_EXTN, ".log");
}

using LogFlush = UtilsTest;

TEST_F(LogFlush, NothingQueuedTouchesNothing) {
  utils.log_flush();
  EXPECT_FALSE(path_exists(utils.LOG_PATH));
  EXPECT_TRUE(utils.current_log.empty());
}

TEST_F(LogFlush, WritesQueuedLinesInOrderThenAppends) {
  utils.info("one");
  utils.info("two\nlines");
  utils.log_flush();
  EXPECT_TRUE(utils._output.empty());
  const std::string first = utils.current_log;
  utils.info("three");
  utils.log_flush();
  EXPECT_EQ(utils.current_log, first);
  EXPECT_EQ(read_bytes(first), to_platform_newlines("one\ntwo\nlines\nthree\n"));
}

TEST_F(LogFlush, OnlyErrorsPendingCreatesAnEmptyFile) {
  utils.fail("bad");
  utils.log_flush();
  ASSERT_TRUE(is_regular_file(utils.current_log));
  EXPECT_EQ(read_bytes(utils.current_log), "");
  EXPECT_EQ(utils._errors.size(), 1u);
}

TEST_F(LogFlush, DeletedFileIsStartedAgain) {
  utils.info("a");
  utils.log_flush();
  std::filesystem::remove(fs_path(utils.current_log));
  utils.info("b");
  utils.log_flush();
  EXPECT_EQ(read_bytes(utils.current_log), to_platform_newlines("b\n"));
}

TEST_F(LogFlush, KeepsTheHundredNewestFiles) {
  std::vector<std::string> old;
  for (int i = 0; i < 101; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "log_20200101%06d..txt", i);
    old.push_back(name);
    write_bytes(path_join(utils.LOG_PATH, name), "");
  }
  utils.current_log = path_join(utils.LOG_PATH, old.back());
  utils.info("appended");
  utils.log_flush();
  const auto names = files_in(utils.LOG_PATH);
  ASSERT_EQ(names.size(), 100u);
  EXPECT_EQ(names.front(), old[1]);
  EXPECT_EQ(names.back(), old.back());
}

TEST_F(LogFlush, UnwritableFolderBecomesAnErrorLineAndKeepsTheQueue) {
  write_bytes(tmp / "blocker", "a file where the log folder should be");
  utils.log_dir_and_file(tmp / "blocker/logs", "log.txt");
  utils.info("kept");
  EXPECT_NO_THROW(utils.log_flush());
  ASSERT_EQ(utils._errors.size(), 1u);
  EXPECT_EQ(utils._errors[0].rfind("ERROR (1): Exception in log_flush: ", 0), 0u)
      << utils._errors[0];
  EXPECT_EQ(utils._output, std::vector<std::string>{"kept"});
}

TEST_F(LogFlush, InfoFlushesAtOnceWithoutWait) {
  utils.LOG_WAIT = false;
  utils.info("now");
  EXPECT_TRUE(utils._output.empty());
  EXPECT_EQ(read_bytes(utils.current_log), to_platform_newlines("now\n"));
}

using ErrorLines = UtilsTest;

TEST_F(ErrorLines, CodeDefaultsToOneAndIsEchoed) {
  utils.fail("x");
  utils.fail("x", "7");
  EXPECT_EQ(utils._errors, (std::vector<std::string>{"ERROR (1): x", "ERROR (7): x"}));
  EXPECT_EQ(echoed(), (std::vector<std::string>{"ERROR (1): x", "ERROR (7): x"}));
  EXPECT_TRUE(utils._output.empty());
}

TEST_F(ErrorLines, PrependPutsSummaryAboveProgress) {
  utils.info("progress");
  utils.log_flush();
  utils.fail("first");
  utils.fail("second", "3");
  utils.log_prepend_errors();
  EXPECT_EQ(read_bytes(utils.current_log),
            to_platform_newlines("ERRORS (2):\nERROR (1): first\nERROR (3): second\n"
                                 "----------------------------------\nprogress\n"));
  EXPECT_EQ(utils._errors.size(), 2u);
}

TEST_F(ErrorLines, PrependWithoutFileCreatesIt) {
  utils.fail("lonely");
  utils.log_prepend_errors();
  EXPECT_EQ(read_bytes(utils.current_log),
            to_platform_newlines("ERRORS (1):\nERROR (1): lonely\n"
                                 "----------------------------------\n"));
}

using Crash = UtilsTest;

TEST_F(Crash, LeavesSummaryOnTopAndExitsWithCode) {
  utils.info("before");
  const std::string dir = utils.LOG_PATH;
  EXPECT_EXIT(
      {
        // The real prompt on a closed console: the crash must not wait for it.
        utils.console.wait_for_enter = import_utils().console.wait_for_enter;
        close(0);
        utils.fail("earlier");
        utils.crash("fatal", 3);
      },
      ::testing::ExitedWithCode(3), "");
  const auto names = files_in(dir);
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(read_bytes(path_join(dir, names[0])),
            to_platform_newlines("ERRORS (2):\nERROR (1): earlier\nERROR (3): fatal\n"
                                 "----------------------------------\n"
                                 "before\nCrashing...\nThread logging stopped...\n"));
}

TEST_F(Crash, DefaultCodeIsOne) {
  utils.CSH_WAIT = false;
  EXPECT_EXIT(utils.crash("x"), ::testing::ExitedWithCode(1), "");
}

TEST_F(Crash, EchoesEveryLineBeforeExit) {
  utils.console = import_utils().console;  // real standard output
  utils.CSH_WAIT = false;
  // The death test matches standard error, so send standard output there.
  EXPECT_EXIT(
      {
        dup2(2, 1);
        utils.crash("boom", 2);
      },
      ::testing::ExitedWithCode(2), "ERROR \\(2\\): boom\nCrashing...\nThread logging stopped...");
}

TEST_F(Crash, AfterHaltFlushesAndPrependsAgain) {
  utils.log_thread_halt = true;
  const std::string dir = utils.LOG_PATH;
  EXPECT_EXIT(
      {
        utils.CSH_WAIT = false;
        utils.crash("again");
      },
      ::testing::ExitedWithCode(1), "");
  const auto names = files_in(dir);
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(read_bytes(path_join(dir, names[0])),
            to_platform_newlines("ERRORS (1):\nERROR (1): again\n"
                                 "----------------------------------\nCrashing...\n"));
}

using Timestamp = UtilsTest;

TEST_F(Timestamp, FourteenDigitsNowOrFileCreation) {
  const std::string now = utils.timestamp();
  EXPECT_TRUE(std::regex_match(now, std::regex("[0-9]{14}")));
  EXPECT_EQ(utils.timestamp(tmp / "missing"), utils.timestamp());
  const std::string file = tmp / "f";
  write_bytes(file, "x");
  const std::string created = utils.timestamp(file);
  EXPECT_TRUE(std::regex_match(created, std::regex("[0-9]{14}")));
  EXPECT_LE(created, utils.timestamp());
}

}  // namespace
}  // namespace verbix
