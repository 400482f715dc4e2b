#include "console_window.h"

#include <cstdio>

#include "checks/lint_report.h"
#include "utils/log_service.h"

namespace verbix::cli {
namespace {

// The title of the compiler's question whether to abort a build that counted errors.
constexpr std::string_view kBuildErrorsTitle = "Build Errors (";

}  // namespace

void print_error(std::string_view p_text) {
  std::fwrite(p_text.data(), 1, p_text.size(), stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
}

void ConsoleWindow::append_log(std::string_view p_msg) { utils.info(p_msg); }

void ConsoleWindow::save_log() { utils.log_flush(); }

void ConsoleWindow::popup_error(std::string_view p_msg, std::string_view) {
  failed_ = true;
  print_error(p_msg);
}

bool ConsoleWindow::popup_yes_no(std::string_view p_msg, std::string_view p_title) {
  bool answer;
  std::string why;
  if (p_msg.ends_with(kChecksQuestionEnd)) {
    // The build checks found errors: the build stops unless --keep-going.
    answer = answers_.keep_going;
    why = answers_.keep_going ? " (--keep-going)" : " (no --keep-going)";
  } else if (p_title.starts_with(kBuildErrorsTitle)) {
    answer = !answers_.keep_going;
    why = answers_.keep_going ? " (--keep-going)" : " (no --keep-going)";
  } else {
    answer = answers_.yes;
    why = answers_.yes ? " (--yes)" : " (no --yes)";
  }
  // Shown on the console only: the window's log file holds no questions either.
  utils.console.write(std::string(p_title) + ": " + std::string(p_msg) + "\n-> " +
                      (answer ? "Yes" : "No") + why + "\n");
  if (!answer && p_msg.ends_with(kChecksQuestionEnd)) {
    declined_ = true;
    print_error("The build checks found errors; --keep-going builds anyway: " +
                std::string(p_msg.substr(0, p_msg.size() - kChecksQuestionEnd.size())) +
                " problems would show in the game.");
  } else if (!answer && !p_title.starts_with(kBuildErrorsTitle)) {
    declined_ = true;
    print_error("Answered No without --yes: " + std::string(p_msg));
  }
  return answer;
}

}  // namespace verbix::cli
