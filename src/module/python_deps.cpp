// The dependency check's host facilities, served by the Python host: its installed-
// distribution lookup, its executable as installer and restarter, its console.
#include <nanobind/stl/string.h>
#include <nanobind/stl/vector.h>

#include "bindings.h"
#include "utils/log_service.h"

namespace verbix::py {
namespace {

class PythonDependencyHost : public DependencyHost {
 public:
  bool lookup_available() override {
    nb::gil_scoped_acquire gil;
    try {
      nb::module_::import_("pkg_resources");
      use_metadata_ = false;
      return true;
    } catch (const nb::python_error&) {
    }
    // Newer setuptools no longer ship pkg_resources: once setuptools is there, the host's
    // own metadata lookup answers instead of installing it and restarting for ever.
    use_metadata_ = true;
    return metadata_has("setuptools");
  }

  bool is_installed(const std::string& name) override {
    nb::gil_scoped_acquire gil;
    if (use_metadata_) return metadata_has(name);
    try {
      nb::module_::import_("pkg_resources").attr("get_distribution")(name);
      return true;
    } catch (nb::python_error& e) {
      if (e.matches(nb::module_::import_("pkg_resources").attr("DistributionNotFound")))
        return false;
      utils.fail("Unable to look up package " + name + ": " + e.what());
      return true;  // cannot tell: leave it to the import to complain
    }
  }

  int run_host(const std::vector<std::string>& args) override {
    nb::gil_scoped_acquire gil;
    flush_host();
    try {
      return nb::cast<int>(nb::module_::import_("subprocess").attr("call")(command(args)));
    } catch (nb::python_error& e) {
      throw std::runtime_error(e.what());
    }
  }

  void start_host_detached(const std::vector<std::string>& args) override {
    nb::gil_scoped_acquire gil;
    flush_host();
    try {
      nb::module_::import_("subprocess")
          .attr("Popen")(command(args), nb::arg("start_new_session") = true);
    } catch (nb::python_error& e) {
      utils.fail(std::string("Unable to restart: ") + e.what());
    }
  }

  [[noreturn]] void exit_now(int code) override {
    flush_host();
    nb::gil_scoped_acquire gil;
    nb::module_::import_("os").attr("_exit")(code);
    std::_Exit(code);
  }

  std::string read_line(std::string_view prompt) override {
    nb::gil_scoped_acquire gil;
    try {
      nb::object builtins = nb::module_::import_("builtins");
      return nb::cast<std::string>(builtins.attr("input")(nb::str(prompt.data(), prompt.size())));
    } catch (const nb::python_error&) {
      return {};  // closed input: nothing typed
    }
  }

  std::vector<std::string> arguments() override {
    nb::gil_scoped_acquire gil;
    return nb::cast<std::vector<std::string>>(nb::module_::import_("sys").attr("argv"));
  }

 private:
  static bool metadata_has(const std::string& name) {
    try {
      nb::module_::import_("importlib.metadata").attr("distribution")(name);
      return true;
    } catch (const nb::python_error&) {
      return false;
    }
  }

  static nb::list command(const std::vector<std::string>& args) {
    nb::list argv;
    argv.append(utils.host.executable);
    for (const std::string& a : args) argv.append(a);
    return argv;
  }

  static void flush_host() {
    if (utils.console.flush) utils.console.flush();
  }

  bool use_metadata_ = false;
};

}  // namespace

DependencyHost& python_dependency_host() {
  static PythonDependencyHost host;
  return host;
}

}  // namespace verbix::py
