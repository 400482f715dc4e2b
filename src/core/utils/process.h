// Child processes: the command-interpreter fallbacks of the file helpers run synchronously
// with their output captured; the folder opener is started and not waited for.
#pragma once

#include <string>
#include <vector>

namespace verbix {

struct CommandResult {
  int status = 0;   // exit status; non-zero is a failure
  std::string out;  // standard output, as text
  std::string err;  // standard error, as text
};

// Runs `argv` (program first, found on the PATH) to its end. Throws OsError when the
// program cannot be started.
CommandResult run_command(const std::vector<std::string>& argv);

// Starts `argv` without waiting for it; the child is not left as a zombie. Throws OsError
// when the program cannot be found or started.
void start_detached(const std::vector<std::string>& argv);

#ifdef _WIN32
// Starts a command line exactly as given (Explorer takes its own quoting), not waited for.
void start_command_line(const std::string& line);
#endif

}  // namespace verbix
