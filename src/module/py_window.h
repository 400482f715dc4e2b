// A window given from Python: any object with append_log, save_log, popup_error and
// popup_yes_no, seen by the core as its Window interface.
#pragma once

#include <optional>

#include "bindings.h"
#include "utils/reporting.h"

namespace verbix::py {

class PyWindow : public Window {
 public:
  explicit PyWindow(nb::handle app) : app_(nb::borrow(app)) {}

  void append_log(std::string_view p_msg) override;
  void save_log() override;
  void popup_error(std::string_view p_msg, std::string_view p_title) override;
  bool popup_yes_no(std::string_view p_msg, std::string_view p_title) override;

 private:
  nb::object app_;
};

// Holds the adapter for a `p_app` argument; `get()` is null when `p_app` is None.
class WindowArg {
 public:
  explicit WindowArg(nb::handle app) {
    if (app.is_valid() && !app.is_none()) window_.emplace(app);
  }
  Window* get() { return window_ ? &*window_ : nullptr; }

 private:
  std::optional<PyWindow> window_;
};

}  // namespace verbix::py
