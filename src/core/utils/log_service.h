// The utilities object: the run's log and the tool's own location.
//
// The log echoes every line to standard output, queues progress lines and writes them to
// the run's log file (stem "_" timestamp "." extension, in LOG_PATH) on each flush, keeps the
// newest LOG_FMAX files of the folder, and keeps error lines apart: they reach the file only
// in the summary block that a crash puts at its top. Everything runs on the caller's thread.
#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace verbix {

// What the log needs from the process that hosts it. The defaults use C stdio; the Python
// extension routes them through the host's own streams.
struct ConsoleHost {
  std::function<void(std::string_view)> write;  // text to standard output, as given
  std::function<void()> wait_for_enter;         // returns at once when input is closed
  std::function<void()> flush;                  // every buffered output stream of the host
};

// Where the tool was loaded from, handed over by the host when the module is imported.
struct HostFacts {
  std::string module_file;  // the tool's own module file
  std::string main_file;    // the script the host was started with, if any
  std::string executable;   // the host executable
};

class import_utils {
 public:
  import_utils();

  // -- Log state, with its initial values --
  std::string LOG_PATH = "_Logs";
  std::string LOG_NAME = "results";
  std::string LOG_EXTN = ".log";
  long long LOG_FMAX = 100;
  bool LOG_WAIT = true;              // false: every info flushes at once
  bool ERR_WAIT = false;             // true: fail waits for Enter
  bool CSH_WAIT = true;              // true: crash waits for Enter before ending the process
  std::vector<std::string> _output;  // progress lines not yet written
  std::vector<std::string> _errors;  // every error line of the run; never cleared
  std::string current_log;           // the run's log file; empty until the first write
  // true: a log file name already taken gets a suffix ("log_<time>_2.txt") instead of being
  // reused, so that runs started within one second each keep a file of their own.
  bool LOG_UNIQUE = false;
  bool log_thread_halt = false;
  std::mutex log_thread_lock;  // not reentrant: guards the writes of the log file

  ConsoleHost console;
  HostFacts host;

  // -- Log operations --

  // Echoes the line and queues it for the log file.
  void info(std::string_view p_msg);
  // Records "ERROR (" code "): " message: echoed and kept for the crash summary.
  void fail(std::string_view p_msg, std::string_view code = "1");
  // Logs the message, leaves the log file with the error summary on top and ends the
  // process with `p_code`, flushing every output stream first.
  [[noreturn]] void crash(std::string_view p_msg, int p_code = 1);
  // Writes the queued lines to the run's file (creating it on first use) and prunes the
  // folder. Never throws: a failure becomes an "Exception in log_flush: " error line.
  void log_flush();
  // Starts a new log file with the queued lines, under the lock.
  void log_write(std::string_view p_name = {});
  // The same without taking the lock (the caller holds it). Throws on failure.
  void _log_write(std::string_view p_name = {});
  // Puts the summary block of all error lines at the top of the run's file. Never throws.
  void log_prepend_errors();
  void log_thread_stop();
  // Points the log at a folder and a file name ("log.txt" -> stem "log", extension ".txt");
  // no name keeps the current stem and extension joined by a dot.
  void log_dir_and_file(std::string_view p_path, std::optional<std::string_view> p_file = {});
  // The local time (or the creation time of `p_file`, if it exists) as "%Y%m%d%H%M%S".
  std::string timestamp(std::string_view p_file = {}) const;

  // -- Tool location --

  // The absolute folder of the tool's own module file.
  std::string dir() const;
  // Whether the tool runs from its source form (module file ending ".py" in any case).
  bool is_script() const;
  // The host's main script when running from source, otherwise the host executable.
  std::string file_dir() const;

 private:
  void prune_log_folder();
  void write_line(std::string_view text);
};

// The process's one utilities object.
extern import_utils utils;

}  // namespace verbix
