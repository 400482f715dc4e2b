// The window the dialogue fuzz targets hand to the readers: without one, a reader's error
// ends the process, as the tool's own data functions do; with it, the error is a result.
#pragma once

#include <string_view>

#include "utils/reporting.h"

namespace verbix::fuzzing {

class QuietWindow : public Window {
 public:
  void append_log(std::string_view) override {}
  void save_log() override {}
  void popup_error(std::string_view, std::string_view) override {}
  bool popup_yes_no(std::string_view, std::string_view) override { return false; }
};

// Keeps the log service quiet and small across runs: its echo goes nowhere, and the lines
// a reader logs without a window (queued until the workflow's flush) are dropped after each
// input, so that they neither pile up nor make every run look like a leak.
void quiet_log();
void forget_log();

// What one input of a dialogue target runs with: the quiet window, and the log's lines of
// the input dropped when it ends.
struct QuietInput {
  QuietWindow window;
  QuietInput() = default;
  QuietInput(const QuietInput&) = delete;
  QuietInput& operator=(const QuietInput&) = delete;
  ~QuietInput() { forget_log(); }
};

// The section names of the generated tiny game, whose dialogue files are the seeds: the TXT
// reader reads only the sections it knows.
void add_seed_sections();

}  // namespace verbix::fuzzing
