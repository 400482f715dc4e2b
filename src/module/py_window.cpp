#include "py_window.h"

namespace verbix::py {
namespace {

nb::str str_of(std::string_view text) { return nb::str(text.data(), text.size()); }

}  // namespace

void PyWindow::append_log(std::string_view p_msg) { app_.attr("append_log")(str_of(p_msg)); }

void PyWindow::save_log() { app_.attr("save_log")(); }

void PyWindow::popup_error(std::string_view p_msg, std::string_view p_title) {
  app_.attr("popup_error")(str_of(p_msg), str_of(p_title));
}

bool PyWindow::popup_yes_no(std::string_view p_msg, std::string_view p_title) {
  nb::object answer = app_.attr("popup_yes_no")(str_of(p_msg), str_of(p_title));
  const int truth = PyObject_IsTrue(answer.ptr());
  if (truth < 0) throw nb::python_error();
  return truth == 1;
}

}  // namespace verbix::py
