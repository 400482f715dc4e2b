#include "test_support.h"

#include <cstdlib>
#include <filesystem>
#include <random>

#include "utils/file_io.h"
#include "utils/paths.h"

namespace verbix::testing {
namespace {

// This process's id, handed to the children of death tests through the environment.
std::string own_owner() {
  static const std::string owner = [] {
    std::random_device rd;
    std::string id = std::to_string(rd()) + std::to_string(rd());
#ifdef _WIN32
    _putenv_s("VERBIX_TEST_OWNER", id.c_str());
#else
    setenv("VERBIX_TEST_OWNER", id.c_str(), 1);
#endif
    return id;
  }();
  return owner;
}

std::string owner_from_environment() {
  const char* owner = std::getenv("VERBIX_TEST_OWNER");
  return owner ? owner : own_owner();
}

}  // namespace

// Named after the running test and the process that owns it, so that a death test's child
// (a new process on Windows, which runs the test's set-up again) finds its parent's folder.
TempDir::TempDir() {
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string name =
      test ? std::string(test->test_suite_name()) + "." + test->name() : "outside_a_test";
  const bool death_test_child = !GTEST_FLAG_GET(internal_run_death_test).empty();
  const std::string owner = death_test_child ? owner_from_environment() : own_owner();
  const auto folder = std::filesystem::temp_directory_path() / ("verbix_" + owner + "_" + name);
  if (!death_test_child) std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  path_ = path_text(folder);
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(fs_path(path_), ec);
}

std::string TempDir::operator/(std::string_view name) const { return path_join(path_, name); }

void write_bytes(const std::string& path, std::string_view data) {
  std::filesystem::create_directories(fs_path(path).parent_path());
  write_file(path, data);
}

std::string read_bytes(const std::string& path) { return read_file(path); }

void UtilsTest::SetUp() {
  utils.LOG_PATH = "_Logs";
  utils.LOG_NAME = "results";
  utils.LOG_EXTN = ".log";
  utils.LOG_FMAX = 100;
  utils.LOG_WAIT = true;
  utils.ERR_WAIT = false;
  utils.CSH_WAIT = true;
  utils._output.clear();
  utils._errors.clear();
  utils.current_log.clear();
  utils.log_thread_halt = false;
  utils.log_dir_and_file(tmp / "logs", "log.txt");
  echoed_.clear();
  pending_.clear();
  utils.console.write = [this](std::string_view text) {
    pending_ += text;
    for (size_t nl; (nl = pending_.find('\n')) != std::string::npos;) {
      echoed_.push_back(pending_.substr(0, nl));
      pending_.erase(0, nl + 1);
    }
  };
  utils.console.wait_for_enter = [] {};
}

void UtilsTest::TearDown() {
  utils.console = import_utils().console;
  utils._output.clear();
  utils._errors.clear();
  utils.current_log.clear();
}

}  // namespace verbix::testing
