// The one reporting seam of data code. Functions that may run with or without a window take
// a `Window*` (`p_app`) and report through `info` and `error`: with a window the line goes
// to its log panel and an error opens its error box; without one, `info` goes to the log
// and `error` ends the process through the log's crash path.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace verbix {

// What data code needs of the window. The real window, the command line and test recorders
// implement it.
class Window {
 public:
  virtual ~Window() = default;
  // Shows the line in the log panel and passes it to the log service.
  virtual void append_log(std::string_view p_msg) = 0;
  // Flushes the log service's queued lines to the log file.
  virtual void save_log() = 0;
  // A modal error box.
  virtual void popup_error(std::string_view p_msg, std::string_view p_title) = 0;
  // A modal Yes/No question; true for Yes.
  virtual bool popup_yes_no(std::string_view p_msg, std::string_view p_title) = 0;
  // How far a long step has come: its name and, where a count is known, the items done of
  // `p_total` ("Writing images", 120, 600); `p_total` 0 when none is. Also the moment for a
  // window to repaint while the work keeps its event loop busy. Nothing by default.
  virtual void progress(std::string_view p_step, std::size_t p_done, std::size_t p_total) {
    (void)p_step, (void)p_done, (void)p_total;
  }
};

inline constexpr std::string_view kErrorTitle = "Error";
inline constexpr std::string_view kConfirmTitle = "Confirm";

// Reports a progress line to the window, or to the log service without one.
void info(std::string_view p_msg, Window* p_app = nullptr);

// Shows "ERROR: " + message in the window, flushes the log and opens the error box; without
// a window, crashes the process with the message.
void report_error(std::string_view p_msg, Window* p_app);

// Reports progress to the window, if there is one.
inline void progress(Window* p_app, std::string_view p_step, std::size_t p_done = 0,
                     std::size_t p_total = 0) {
  if (p_app) p_app->progress(p_step, p_done, p_total);
}

// report_error, then `p_ret`, so that callers report and return their failure in one step.
template <typename T>
T error(std::string_view p_msg, T p_ret, Window* p_app = nullptr) {
  report_error(p_msg, p_app);
  return p_ret;
}

}  // namespace verbix
