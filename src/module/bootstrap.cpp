// The start-up dependency check of the tool's source form: missing packages are installed
// from wheels beside the tool, else from the package index, and the tool is restarted.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <regex>

#include "dependency_host.h"
#include "text/py_text.h"
#include "utils/paths.h"

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

void DependencyCheck::relaunch(bool p_use_args) {
  std::vector<std::string> args;
  if (p_use_args) args = host_.arguments();
  log_.info("Relaunching...");
  host_.start_host_detached(args);
  host_.exit_now(0);
  std::_Exit(0);  // a host whose exit returned
}

bool DependencyCheck::install_package(const std::string& p_name) {
  const std::string wheel_dir = path_join(log_.dir(), PY_DEP_DIR);
  if (is_directory(wheel_dir)) {
    try {
      std::vector<std::string> names;
      for (const auto& entry : std::filesystem::directory_iterator(fs_path(wheel_dir)))
        names.push_back(path_text(entry.path().filename()));
      const std::string wheel = choose_wheel(names, p_name);
      if (!wheel.empty()) {
        const std::string wheel_path = path_join(wheel_dir, wheel);
        log_.info("\nFound local wheel file: " + wheel_path + ". Installing...\n");
        const int code = host_.run_host(
            {"-m", "pip", "install", wheel_path, "--no-index", "--find-links", wheel_dir});
        if (code != 0)
          throw std::runtime_error("installer exited with code " + std::to_string(code));
        log_.info("\nSuccessfully installed " + p_name + " from " + wheel_path + ".");
        return true;
      }
    } catch (const std::exception& e) {
      log_.info(std::string("\nError installing from local .whl: ") + e.what());
    }
  }
  log_.info("\nAttempting to install " + p_name + " via pip...\n");
  int code = 1;
  try {
    code = host_.run_host({"-m", "pip", "install", p_name});
  } catch (const std::exception& e) {
    log_.fail(std::string("Unable to start the installer: ") + e.what());
  }
  if (code == 0) {
    log_.info("\nSuccessfully installed " + p_name + " via pip.");
    return true;
  }
  log_.crash("\nFailed to install " + p_name);
}

void DependencyCheck::ensure_installation(const std::vector<std::string>& p_packages,
                                          bool p_restart) {
  if (!log_.is_script()) return;
  if (!host_.lookup_available()) {
    log_.info("\nMissing package: pkg_resources\n");
    install_package("setuptools");
    relaunch();
  }
  int installed = 0;
  for (const std::string& name : p_packages) {
    if (host_.is_installed(name)) continue;
    log_.info("\nMissing package: " + name + "\n");
    install_package(name);
    ++installed;
  }
  if (installed < 1) return;
  if (p_restart) relaunch();
  const std::string answer = py_upper(py_strip(host_.read_line("\n[C]ontinue (R)elaunch: ")));
  if (!answer.empty() && answer[0] == 'R') relaunch();
}

}  // namespace verbix
