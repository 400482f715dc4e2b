// The start-up dependency check of the tool's source form, and what it needs of the host that runs
// the tool: its package lookup and installer, a detached restart, an immediate exit and a console
// prompt.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "utils/log_service.h"

namespace verbix {

class DependencyHost {
 public:
  virtual ~DependencyHost() = default;
  // Whether the host can tell installed distributions at all.
  virtual bool lookup_available() = 0;
  // Whether a distribution of that name is installed.
  virtual bool is_installed(const std::string& name) = 0;
  // Runs the host executable with `args` and waits; returns its exit code. Throws when it
  // cannot be started.
  virtual int run_host(const std::vector<std::string>& args) = 0;
  // The host executable followed by `args`, started and not waited for.
  virtual void start_host_detached(const std::vector<std::string>& args) = 0;
  // Ends the process at once with the code, without clean-up.
  [[noreturn]] virtual void exit_now(int code) = 0;
  // A line typed on the console after the prompt; empty when input is closed.
  virtual std::string read_line(std::string_view prompt) = 0;
  // The current process's argument list: the script first, then its arguments.
  virtual std::vector<std::string> arguments() = 0;
};

// The wheel file of `package` among the names of a folder: the names that match the
// package name, a hyphen, digits, anything and ".whl" (from the start, without letter case;
// the name is taken as a pattern as it stands), the greatest by plain text. Empty when none
// matches. Throws std::regex_error when the name is not a valid pattern.
std::string choose_wheel(const std::vector<std::string>& names, const std::string& package);

// The folder of wheels beside the tool that installs prefer.
inline constexpr const char* PY_DEP_DIR = "dependencies";

// The dependency check of the tool's source form, logging through `log` and served by
// `host`, the process's Python host.
class DependencyCheck {
 public:
  DependencyCheck(import_utils& log, DependencyHost& host) : log_(log), host_(host) {}

  // Restarts the tool (with the current arguments, or none); does not return.
  [[noreturn]] void relaunch(bool p_use_args = true);
  // Installs a package from a wheel beside the tool, else from the package index. True on
  // success; a failed index install crashes the process.
  bool install_package(const std::string& p_name);
  // Installs what is missing of the packages and restarts the tool (or asks whether to);
  // nothing at all in the built tool.
  void ensure_installation(const std::vector<std::string>& p_packages, bool p_restart = true);

 private:
  import_utils& log_;
  DependencyHost& host_;
};

}  // namespace verbix
