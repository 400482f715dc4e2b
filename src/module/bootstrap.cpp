// The start-up dependency check of the tool's source form: missing packages are installed
// from wheels beside the tool, else from the package index, and the tool is restarted.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <regex>

#include "text/py_text.h"
#include "utils/dependency_host.h"
#include "utils/file_helpers.h"
#include "utils/log_service.h"

namespace verbix {

std::string choose_wheel(const std::vector<std::string>& names, const std::string& package) {
  const std::regex pattern(package + "-\\d+.*\\.whl$", std::regex::icase);
  std::string best;
  for (const std::string& name : names) {
    if (std::regex_search(name, pattern, std::regex_constants::match_continuous) && name > best)
      best = name;
  }
  return best;
}

void import_utils::relaunch(bool p_use_args) {
  std::vector<std::string> args;
  if (p_use_args) args = deps->arguments();
  info("Relaunching...");
  deps->start_host_detached(args);
  deps->exit_now(0);
  std::_Exit(0);  // a host whose exit returned
}

bool import_utils::install_package(const std::string& p_name) {
  const std::string wheel_dir = path_join(dir(), PY_DEP_DIR);
  if (is_directory(wheel_dir)) {
    try {
      std::vector<std::string> names;
      for (const auto& entry : std::filesystem::directory_iterator(fs_path(wheel_dir)))
        names.push_back(path_text(entry.path().filename()));
      const std::string wheel = choose_wheel(names, p_name);
      if (!wheel.empty()) {
        const std::string wheel_path = path_join(wheel_dir, wheel);
        info("\nFound local wheel file: " + wheel_path + ". Installing...\n");
        const int code = deps->run_host(
            {"-m", "pip", "install", wheel_path, "--no-index", "--find-links", wheel_dir});
        if (code != 0)
          throw std::runtime_error("installer exited with code " + std::to_string(code));
        info("\nSuccessfully installed " + p_name + " from " + wheel_path + ".");
        return true;
      }
    } catch (const std::exception& e) {
      info(std::string("\nError installing from local .whl: ") + e.what());
    }
  }
  info("\nAttempting to install " + p_name + " via pip...\n");
  int code = 1;
  try {
    code = deps->run_host({"-m", "pip", "install", p_name});
  } catch (const std::exception& e) {
    fail(std::string("Unable to start the installer: ") + e.what());
  }
  if (code == 0) {
    info("\nSuccessfully installed " + p_name + " via pip.");
    return true;
  }
  crash("\nFailed to install " + p_name);
}

void import_utils::ensure_installation(const std::vector<std::string>& p_packages, bool p_restart) {
  if (!is_script() || !deps) return;
  if (!deps->lookup_available()) {
    info("\nMissing package: pkg_resources\n");
    install_package("setuptools");
    relaunch();
  }
  int installed = 0;
  for (const std::string& name : p_packages) {
    if (deps->is_installed(name)) continue;
    info("\nMissing package: " + name + "\n");
    install_package(name);
    ++installed;
  }
  if (installed < 1) return;
  if (p_restart) relaunch();
  const std::string answer = py_upper(py_strip(deps->read_line("\n[C]ontinue (R)elaunch: ")));
  if (!answer.empty() && answer[0] == 'R') relaunch();
}

}  // namespace verbix
