// A window that passes everything on to another and remembers whether an error box was
// shown. A workflow reads a project through it, so that a reader which already showed its
// own error box is not followed by a second box for the same failure.
#pragma once

#include <cstddef>
#include <string_view>

#include "utils/reporting.h"

namespace verbix {

class ErrorWatch : public Window {
 public:
  explicit ErrorWatch(Window* p_app) : app_(p_app) {}

  // The window to hand to the reader: this one, or null when there is no window (without
  // one an error ends the process, so there is nothing to watch).
  Window* window() { return app_ ? this : nullptr; }
  // True once an error box was shown through window().
  bool reported() const { return reported_; }

  void append_log(std::string_view p_msg) override { app_->append_log(p_msg); }
  void save_log() override { app_->save_log(); }
  void popup_error(std::string_view p_msg, std::string_view p_title) override {
    reported_ = true;
    app_->popup_error(p_msg, p_title);
  }
  bool popup_yes_no(std::string_view p_msg, std::string_view p_title) override {
    return app_->popup_yes_no(p_msg, p_title);
  }
  void progress(std::string_view p_step, std::size_t p_done, std::size_t p_total) override {
    app_->progress(p_step, p_done, p_total);
  }

 private:
  Window* app_;
  bool reported_ = false;
};

}  // namespace verbix
