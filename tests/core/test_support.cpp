#include "test_support.h"

#include <filesystem>
#include <random>

#include "utils/file_io.h"
#include "utils/paths.h"

namespace verbix::testing {

TempDir::TempDir() {
  static std::mt19937_64 rng{std::random_device{}()};
  const auto base = std::filesystem::temp_directory_path();
  for (;;) {
    auto candidate = base / ("verbix_test_" + std::to_string(rng()));
    if (std::filesystem::create_directory(candidate)) {
      path_ = path_text(candidate);
      return;
    }
  }
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
