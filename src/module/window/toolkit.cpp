#include "window/toolkit.h"

#include <nanobind/stl/string.h>

#include <algorithm>
#include <cstdlib>
#include <new>

#include "utils/log_service.h"
#include "utils/memory.h"

namespace verbix::py::tk {
namespace {

using namespace nb::literals;

nb::str str_of(std::string_view text) { return nb::str(text.data(), text.size()); }

// A dialog's answer: a path text, or the empty text for anything else (Tk gives '' or ()
// when cancelled, depending on the build).
std::string path_answer(nb::handle answer) {
  if (nb::isinstance<nb::str>(answer)) return nb::cast<std::string>(answer);
  return {};
}

// The pattern of a file type as the dialog of this system reads it. Patterns are written as
// Windows shows them ("*.csv;*.txt"); Tk's other dialogs take a list of patterns instead.
nb::object patterns(nb::handle parent, const std::string& pattern) {
  if (windowing_system(parent) == "win32" || pattern.find(';') == std::string::npos)
    return str_of(pattern);
  nb::list parts;
  size_t start = 0;
  while (start <= pattern.size()) {
    const size_t end = std::min(pattern.find(';', start), pattern.size());
    if (end > start) parts.append(str_of(std::string_view(pattern).substr(start, end - start)));
    start = end + 1;
  }
  return nb::tuple(parts);
}

std::string describe(const nb::python_error& e) {
  std::string kind = "Error";
  try {
    kind = nb::cast<std::string>(nb::handle(e.type()).attr("__name__"));
  } catch (...) {
  }
  std::string text;
  try {
    text = nb::cast<std::string>(nb::str(e.value()));
  } catch (...) {
  }
  return text.empty() ? kind : kind + ": " + text;
}

}  // namespace

nb::module_ ctk() { return nb::module_::import_("customtkinter"); }

nb::object normal() { return nb::module_::import_("tkinter").attr("NORMAL"); }
nb::object disabled() { return nb::module_::import_("tkinter").attr("DISABLED"); }
nb::object readonly() { return nb::steal(PyUnicode_InternFromString("readonly")); }

nb::tuple font(std::string_view family, int size) { return nb::make_tuple(str_of(family), size); }

nb::object Pad::value() const {
  if (a == b) return nb::int_(a);
  return nb::make_tuple(a, b);
}

void grid(nb::handle widget, const Cell& cell) {
  nb::dict kw;
  kw["row"] = cell.row;
  kw["column"] = cell.column;
  kw["padx"] = cell.padx.value();
  kw["pady"] = cell.pady.value();
  if (!cell.sticky.empty()) kw["sticky"] = str_of(cell.sticky);
  if (cell.columnspan != 1) kw["columnspan"] = cell.columnspan;
  widget.attr("grid")(**kw);
}

nb::object make(const char* kind, nb::handle master, const Options& options) {
  nb::dict kw;
  for (const auto& [name, value] : options) kw[name] = value;
  return ctk().attr(kind)(master, **kw);
}

int combo_width(nb::handle combo, nb::handle font, nb::handle values, int min_width) {
  // customtkinter reads a (family, size) font's size as pixels and scales it with the
  // widget, as it scales the width: measuring at the unscaled size gives unscaled pixels.
  nb::object measure = nb::module_::import_("tkinter.font")
                           .attr("Font")("root"_a = combo, "family"_a = font[0],
                                         "size"_a = -std::abs(nb::cast<int>(font[1])))
                           .attr("measure");
  int text = 0;
  for (nb::handle value : values) text = std::max(text, nb::cast<int>(measure(value)));
  // The text field starts after the left corner and ends 3 pixels before the arrow button,
  // which is as wide as the box is high; the field keeps a few pixels of its own around
  // the text (more under Windows' Tk than under X11's: 16 covers both).
  constexpr int kFieldMargin = 16;
  const int width = text + nb::cast<int>(combo.attr("cget")("corner_radius")) +
                    nb::cast<int>(combo.attr("cget")("height")) + 3 + kFieldMargin;
  return std::max(width, min_width);
}

std::string text(nb::handle widget) { return nb::cast<std::string>(widget.attr("get")()); }

void set_combo(nb::handle combo, std::string_view value) { combo.attr("set")(str_of(value)); }

void process_idle(nb::handle root) { root.attr("update_idletasks")(); }

bool Commands::guard(const char* name, const std::function<void()>& fn) const {
  std::string message;
  try {
    fn();
    return true;
  } catch (nb::python_error& e) {
    // Leaving the program and an interrupt from the console are not errors of the command.
    if (e.matches(PyExc_SystemExit) || e.matches(PyExc_KeyboardInterrupt)) throw;
    utils.fail(e.what());
    message = describe(e);
  } catch (const std::bad_alloc&) {
    message = kOutOfMemory;  // said plainly: what ran out, and what to do
  } catch (const std::exception& e) {
    message = e.what();
  }
  if (message != kOutOfMemory)
    message = "Unexpected error in " + std::string(name) + ": " + message;
  try {
    report_error(message, window_);
  } catch (...) {
    // The window itself failed to report (its error box, say): the log still has it.
    utils.fail(message);
  }
  return false;
}

nb::object Commands::make(const char* name, std::function<void()> fn) const {
  return nb::cpp_function(
      [self = *this, label = std::string(name), fn = std::move(fn)](nb::args) {
        if (self.alive()) self.guard(label.c_str(), fn);
      },
      nb::name(name));
}

nb::object Commands::breaker() const {
  return nb::cpp_function([](nb::args) { return nb::str("break"); }, nb::name("block_input"));
}

std::string ask_open_file(nb::handle parent, std::string_view title, std::string_view initialdir,
                          const FileTypes& filetypes) {
  nb::list types;
  for (const auto& [label, pattern] : filetypes)
    types.append(nb::make_tuple(str_of(label), patterns(parent, pattern)));
  nb::object dialog = nb::module_::import_("tkinter.filedialog");
  return path_answer(dialog.attr("askopenfilename")("parent"_a = parent, "title"_a = str_of(title),
                                                    "initialdir"_a = str_of(initialdir),
                                                    "filetypes"_a = types));
}

std::string ask_directory(nb::handle parent, std::string_view title, std::string_view initialdir) {
  nb::object dialog = nb::module_::import_("tkinter.filedialog");
  return path_answer(dialog.attr("askdirectory")("parent"_a = parent, "title"_a = str_of(title),
                                                 "initialdir"_a = str_of(initialdir)));
}

void show_error(nb::handle parent, std::string_view title, std::string_view message) {
  nb::module_::import_("tkinter.messagebox")
      .attr("showerror")("parent"_a = parent, "title"_a = str_of(title),
                         "message"_a = str_of(message));
}

bool ask_yes_no(nb::handle parent, std::string_view title, std::string_view message) {
  nb::object answer = nb::module_::import_("tkinter.messagebox")
                          .attr("askyesno")("parent"_a = parent, "title"_a = str_of(title),
                                            "message"_a = str_of(message));
  const int truth = PyObject_IsTrue(answer.ptr());
  if (truth < 0) throw nb::python_error();
  return truth == 1;
}

std::string windowing_system(nb::handle root) {
  return nb::cast<std::string>(nb::str(root.attr("tk").attr("call")("tk", "windowingsystem")));
}

void destroy_root(nb::handle root) {
  try {
    nb::object jobs = root.attr("tk").attr("call")("after", "info");
    if (nb::isinstance<nb::str>(jobs)) jobs = root.attr("tk").attr("splitlist")(jobs);
    // Cancelled at Tcl's level: tkinter's after_cancel would also delete the job's command
    // on the root, and the widget that made it would fail to delete it again when destroyed.
    for (nb::handle job : jobs) {
      try {
        root.attr("tk").attr("call")("after", "cancel", job);
      } catch (const nb::python_error&) {
      }
    }
  } catch (const nb::python_error&) {
  }
  root.attr("destroy")();
}

}  // namespace verbix::py::tk
