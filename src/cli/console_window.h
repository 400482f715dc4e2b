// The window of the command line: the workflows' reporting seam on the console. Log lines go
// to the log service (printed on standard output and queued for the log file), error boxes
// to standard error, and questions are answered from the command line's --yes without
// waiting for anyone.
#pragma once

#include <string_view>

#include "utils/reporting.h"

namespace verbix::cli {

// Writes one line to standard error at once.
void print_error(std::string_view p_text);

// How the console answers the workflows' questions.
struct Answers {
  bool yes = false;         // --yes: Yes to every question about going on
  bool keep_going = false;  // --keep-going: build although the compiler counted errors or
                            // the build checks found errors
};

class ConsoleWindow final : public Window {
 public:
  explicit ConsoleWindow(Answers p_answers) : answers_(p_answers) {}

  void append_log(std::string_view p_msg) override;
  void save_log() override;
  // Writes the message to standard error and remembers that the command failed.
  void popup_error(std::string_view p_msg, std::string_view p_title) override;
  // Prints the question and the answer on standard output. Without --yes, Yes to a question
  // is never given: the workflow stops rather than overwrite or delete, and standard error
  // says which question was answered No. The compiler's "abort?" question is the one whose
  // Yes is the safe answer; it is answered Yes unless --keep-going. The build checks'
  // "build anyway?" question is answered Yes only with --keep-going.
  bool popup_yes_no(std::string_view p_msg, std::string_view p_title) override;

  // Whether an error was shown.
  bool failed() const { return failed_; }
  // Whether a question was answered No for want of --yes (said on standard error at once).
  bool declined() const { return declined_; }

 private:
  Answers answers_;
  bool failed_ = false;
  bool declined_ = false;
};

}  // namespace verbix::cli
