// A stand-in window for the data functions' `p_app`: it records every call in order and
// answers Yes/No questions as told.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "utils/reporting.h"

namespace verbix::testing {

class RecordingWindow : public Window {
 public:
  explicit RecordingWindow(bool answer = true) : answer_(answer) {}

  void append_log(std::string_view p_msg) override {
    calls.push_back("log: " + std::string(p_msg));
  }
  void save_log() override { calls.push_back("save"); }
  void popup_error(std::string_view p_msg, std::string_view p_title) override {
    calls.push_back("error box [" + std::string(p_title) + "]: " + std::string(p_msg));
  }
  bool popup_yes_no(std::string_view p_msg, std::string_view p_title) override {
    calls.push_back("yes/no [" + std::string(p_title) + "]: " + std::string(p_msg));
    return answer_;
  }

  // What `error` leaves in the window for one message.
  static std::vector<std::string> error_calls(std::string_view msg) {
    return {"log: ERROR: " + std::string(msg), "save", "error box [Error]: " + std::string(msg)};
  }

  std::vector<std::string> calls;

 private:
  bool answer_;
};

}  // namespace verbix::testing
