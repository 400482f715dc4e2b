// The TXT form under its own names: `sort_values`, `dat_2_txt` and `txt_2_dat`, taking and
// returning Python values.
#include <nanobind/stl/string.h>

#include <string_view>

#include "bindings.h"
#include "data/dialogue_txt.h"
#include "py_value.h"
#include "py_window.h"

namespace verbix::py {
using namespace nb::literals;

void bind_txt(nb::module_& m) {
  m.def(
      "sort_values",
      [](nb::handle p_dat) {
        if (!PyDict_Check(p_dat.ptr())) throw nb::type_error("p_dat must be a dict");
        const Value dat = from_python(p_dat);
        return to_python(Value(sort_values(dat.as_map())));
      },
      "p_dat"_a, "The map's entries ordered by the length, then the text, of their values.");
  m.def(
      "dat_2_txt",
      [](nb::handle p_dat, nb::handle p_app) {
        WindowArg window(p_app);
        const std::string text = dat_2_txt(record_arg(p_dat), window.get());
        return nb::str(text.data(), text.size());
      },
      "p_dat"_a, "p_app"_a = nb::none(),
      "The whole dialogue.txt text of a record; '' after a reported error.");
  m.def(
      "txt_2_dat",
      [](nb::handle p_text, nb::handle p_app) {
        WindowArg window(p_app);
        DialogueRead read = txt_2_dat(text_arg(p_text, "p_text"), window.get());
        return nb::make_tuple(to_python(std::move(read.data)), to_python(read.meta.to_value()));
      },
      "p_text"_a, "p_app"_a = nb::none(),
      "The record and DialogueMeta of a dialogue.txt text; ({}, {}) after a reported error.");
}

}  // namespace verbix::py
