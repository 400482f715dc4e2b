// `verbix._text`: the core's Python text rules, exposed so that tests can hold them against
// CPython's own str methods.
#include <nanobind/stl/optional.h>
#include <nanobind/stl/string.h>

#include "bindings.h"
#include "text/py_text.h"

namespace verbix::py {

void bind_text(nb::module_& m) {
  nb::module_ text = m.def_submodule("_text", "The core's text rules (for tests).");
  text.def("upper", [](const std::string& s) { return py_upper(s); });
  text.def("strip", [](const std::string& s) { return py_strip(s); });
  text.def("length", [](const std::string& s) { return code_point_count(s); });
  text.def("to_int", [](const std::string& s) { return py_int(s); });
}

}  // namespace verbix::py
