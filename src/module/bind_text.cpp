// `verbix._text`: the core's Python text rules, exposed so that tests can hold them against
// CPython's own str methods.
#include <nanobind/stl/optional.h>
#include <nanobind/stl/string.h>

#include "bindings.h"
#include "py_value.h"
#include "text/py_text.h"
#include "text/text_form.h"

namespace verbix::py {

void bind_text(nb::module_& m) {
  nb::module_ text = m.def_submodule("_text", "The core's text rules (for tests).");
  text.def("upper", [](const std::string& s) { return py_upper(s); });
  text.def("strip", [](const std::string& s) { return py_strip(s); });
  text.def("length", [](const std::string& s) { return code_point_count(s); });
  text.def("to_int", [](const std::string& s) { return py_int(s); });
  text.def(
      "text_form", [](nb::handle value) { return text_form(from_python(value)); },
      nb::arg("value").none());
}

}  // namespace verbix::py
