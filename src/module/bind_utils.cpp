// `verbix.utils`, the utilities object: the log service, the tool location and the file
// helpers under their own names and parameters; and the module-level `info` and `error`.
#include <nanobind/stl/optional.h>
#include <nanobind/stl/string.h>
#include <nanobind/stl/string_view.h>
#include <nanobind/stl/vector.h>

#include "bindings.h"
#include "py_window.h"
#include "utils/data_error.h"
#include "utils/file_helpers.h"
#include "utils/file_io.h"
#include "utils/log_service.h"
#include "utils/os_error.h"

namespace verbix::py {
namespace {

using namespace nb::literals;

// A CSV row's values: text as given, None as an empty field, anything else as str() gives it.
CsvTable csv_rows(nb::handle rows) {
  CsvTable table;
  for (nb::handle row : rows) {
    CsvRow& out = table.emplace_back();
    for (nb::handle value : row) {
      if (value.is_none())
        out.emplace_back();
      else
        out.push_back(text_of(value));
    }
  }
  return table;
}

void bind_log(nb::class_<import_utils>& cls) {
  cls.def_rw("LOG_PATH", &import_utils::LOG_PATH)
      .def_rw("LOG_NAME", &import_utils::LOG_NAME)
      .def_rw("LOG_EXTN", &import_utils::LOG_EXTN)
      .def_rw("LOG_FMAX", &import_utils::LOG_FMAX)
      .def_rw("LOG_WAIT", &import_utils::LOG_WAIT)
      .def_rw("ERR_WAIT", &import_utils::ERR_WAIT)
      .def_rw("CSH_WAIT", &import_utils::CSH_WAIT)
      .def_rw("_output", &import_utils::_output)
      .def_rw("_errors", &import_utils::_errors)
      .def_rw("current_log", &import_utils::current_log)
      .def_rw("log_thread_halt", &import_utils::log_thread_halt)
      .def(
          "info", [](import_utils& u, nb::handle p_msg) { u.info(text_of(p_msg)); }, "p_msg"_a)
      .def(
          "fail",
          [](import_utils& u, nb::handle p_msg, nb::handle code) {
            u.fail(text_of(p_msg), text_of(code));
          },
          "p_msg"_a, "code"_a = 1)
      .def(
          "crash",
          [](import_utils& u, nb::handle p_msg, int p_code) { u.crash(text_of(p_msg), p_code); },
          "p_msg"_a, "p_code"_a = 1)
      .def("log_flush", &import_utils::log_flush)
      .def("log_write", &import_utils::log_write, "p_name"_a = "")
      .def("_log_write", &import_utils::_log_write, "p_name"_a = "")
      .def("log_prepend_errors", &import_utils::log_prepend_errors)
      .def("log_thread_stop", &import_utils::log_thread_stop)
      .def(
          "log_dir_and_file",
          [](import_utils& u, nb::handle p_path, std::optional<std::string> p_file) {
            u.log_dir_and_file(path_arg(p_path), p_file);
          },
          "p_path"_a, "p_file"_a = nb::none())
      .def(
          "timestamp",
          [](import_utils& u, nb::handle p_file) { return u.timestamp(path_arg(p_file)); },
          "p_file"_a = "");
}

void bind_location(nb::class_<import_utils>& cls) {
  cls.def("dir", &import_utils::dir)
      .def("is_script", &import_utils::is_script)
      .def("file_dir", &import_utils::file_dir)
      .def_prop_rw(
          "module_file", [](import_utils& u) { return u.host.module_file; },
          [](import_utils& u, std::string v) { u.host.module_file = std::move(v); })
      .def_prop_rw(
          "main_file", [](import_utils& u) { return u.host.main_file; },
          [](import_utils& u, std::string v) { u.host.main_file = std::move(v); })
      .def_prop_rw(
          "executable", [](import_utils& u) { return u.host.executable; },
          [](import_utils& u, std::string v) { u.host.executable = std::move(v); });
}

void bind_bootstrap(nb::class_<import_utils>& cls) {
  cls.attr("PY_DEP_DIR") = PY_DEP_DIR;
  cls.def(
         "relaunch",
         [](import_utils& u, bool p_use_args) {
           DependencyCheck(u, python_dependency_host()).relaunch(p_use_args);
         },
         "p_use_args"_a = true)
      .def(
          "install_package",
          [](import_utils& u, const std::string& p_name) {
            return DependencyCheck(u, python_dependency_host()).install_package(p_name);
          },
          "p_name"_a)
      .def(
          "ensure_installation",
          [](import_utils& u, nb::handle p_packages, bool p_restart) {
            std::vector<std::string> names;
            if (nb::isinstance<nb::str>(p_packages))
              names.push_back(nb::cast<std::string>(p_packages));
            else
              for (nb::handle name : p_packages) names.push_back(text_of(name));
            DependencyCheck(u, python_dependency_host()).ensure_installation(names, p_restart);
          },
          "p_packages"_a, "p_restart"_a = true);
}

void bind_files(nb::class_<import_utils>& cls) {
  cls.def(
         "full_path", [](import_utils&, nb::handle p) { return full_path(path_arg(p)); },
         "p_path"_a)
      .def(
          "ensure_dir", [](import_utils&, nb::handle p) { return ensure_dir(path_arg(p)); },
          "p_path"_a)
      .def(
          "open_dir",
          [](import_utils&, nb::handle p, nb::handle f) { open_dir(path_arg(p), path_arg(f)); },
          "p_path"_a, "p_file"_a = "")
      .def(
          "delete_empty_subdirs",
          [](import_utils&, nb::handle p) { delete_empty_subdirs(path_arg(p)); }, "p_root"_a)
      .def(
          "delete_dir",
          [](import_utils&, nb::handle p, bool v) { return delete_dir(path_arg(p), v); }, "p_dir"_a,
          "p_verbose"_a = false)
      .def(
          "delete_file",
          [](import_utils&, nb::handle p, bool v) { return delete_file(path_arg(p), v); },
          "p_file"_a, "p_verbose"_a = false)
      .def(
          "copy_file",
          [](import_utils&, nb::handle s, nb::handle d, bool f) {
            copy_file(path_arg(s), path_arg(d), f);
          },
          "p_src"_a, "p_dst"_a, "p_force"_a = true)
      .def(
          "file_limit",
          [](import_utils&, long long n, nb::handle d, std::string e) {
            file_limit(n, path_arg(d), e);
          },
          "p_num"_a, "p_dir"_a, "p_ext"_a)
      .def(
          "txt_save",
          [](import_utils&, nb::handle p, std::string d) { return txt_save(path_arg(p), d); },
          "p_path"_a, "p_data"_a)
      .def(
          "txt_load", [](import_utils&, nb::handle p) { return txt_load(path_arg(p)); }, "p_path"_a)
      .def(
          "csv_save",
          [](import_utils&, nb::handle p, nb::handle rows) {
            return csv_save(path_arg(p), csv_rows(rows));
          },
          "p_path"_a, "p_csv"_a)
      .def(
          "csv_load", [](import_utils&, nb::handle p) { return csv_load(path_arg(p)); },
          "p_path"_a);
}

void translate_core_errors(const std::exception_ptr& p, void*) {
  try {
    std::rethrow_exception(p);
  } catch (const OsError& e) {
    PyErr_SetString(PyExc_OSError, e.what());
  } catch (const DataError& e) {
    PyErr_SetString(PyExc_ValueError, e.what());
  }
}

}  // namespace

void bind_utils(nb::module_& m) {
  nb::register_exception_translator(translate_core_errors);
  nb::class_<import_utils> cls(m, "import_utils",
                               "The utilities object: log service, file helpers, tool location.");
  bind_log(cls);
  bind_location(cls);
  bind_files(cls);
  bind_data(m, cls);
  bind_bootstrap(cls);
  m.attr("utils") = nb::cast(&utils, nb::rv_policy::reference);

  m.def(
      "info",
      [](nb::handle p_msg, nb::handle p_app) { info(text_of(p_msg), WindowArg(p_app).get()); },
      "p_msg"_a, "p_app"_a = nb::none(), "Reports a progress line to the window or the log.");
  m.def(
      "error",
      [](nb::handle p_msg, nb::object p_ret, nb::handle p_app) {
        WindowArg window(p_app);
        report_error(text_of(p_msg), window.get());
        return p_ret;
      },
      "p_msg"_a, "p_ret"_a = nb::none(), "p_app"_a = nb::none(),
      "Reports an error to the window and returns p_ret; without a window, crashes.");
}

}  // namespace verbix::py
