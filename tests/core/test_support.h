// Shared fixtures of the core tests: a fresh temporary folder per test, and the utilities
// object reset to its initial state with its console captured.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "utils/log_service.h"

namespace verbix::testing {

// A temporary folder, removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // `name` joined to the folder.
  std::string operator/(std::string_view name) const;

 private:
  std::string path_;
};

// Writes `data` to the file (creating parent folders).
void write_bytes(const std::string& path, std::string_view data);
std::string read_bytes(const std::string& path);

// Base of tests that use the process's utilities object: resets its state, points the log
// into the test's temporary folder and records what it echoes.
class UtilsTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Every line echoed to standard output since the test began.
  const std::vector<std::string>& echoed() const { return echoed_; }

  TempDir tmp;

 private:
  std::vector<std::string> echoed_;
  std::string pending_;
};

}  // namespace verbix::testing
