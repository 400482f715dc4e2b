// The TXT form and the comparison under their own names: `sort_values`, `dat_2_txt`,
// `txt_2_dat`, `data_hash`, `data_compare` and `hash_path`, taking and returning Python
// values.
#include <nanobind/stl/string.h>

#include <string_view>

#include "bindings.h"
#include "data/compare.h"
#include "data/dialogue_txt.h"
#include "py_value.h"
#include "py_window.h"

namespace verbix::py {
namespace {

using namespace nb::literals;

std::string_view text_arg(nb::handle obj, const char* name) {
  if (!PyUnicode_Check(obj.ptr()))
    throw nb::type_error((std::string(name) + " must be str, not " +
                          nb::cast<std::string>(obj.type().attr("__name__")))
                             .c_str());
  Py_ssize_t n = 0;
  const char* s = PyUnicode_AsUTF8AndSize(obj.ptr(), &n);
  if (!s) throw nb::python_error();
  return {s, static_cast<std::size_t>(n)};
}

// The record as these functions read it: none of them looks at image bytes, so the image
// map keeps its keys with none for values and its bytes are not copied.
Value record_arg(nb::handle rec) {
  if (!PyDict_Check(rec.ptr())) return from_python(rec);
  PyObject* images = PyDict_GetItemString(rec.ptr(), "img_data");
  if (!images || !PyDict_Check(images) || PyDict_Size(images) == 0) return from_python(rec);
  nb::dict shallow = nb::steal<nb::dict>(PyDict_Copy(rec.ptr()));
  if (!shallow.is_valid()) throw nb::python_error();
  shallow["img_data"] = nb::dict().attr("fromkeys")(nb::handle(images));
  return from_python(shallow);
}

// Only the keys of the map-valued entries count for the fingerprint.
Value keys_only(nb::handle rec) {
  if (!PyDict_Check(rec.ptr())) return Value();
  nb::dict keys;
  Py_ssize_t pos = 0;
  PyObject *key, *value;
  while (PyDict_Next(rec.ptr(), &pos, &key, &value))
    if (PyDict_Check(value)) keys[key] = nb::dict().attr("fromkeys")(nb::handle(value));
  return from_python(keys);
}

}  // namespace

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
        return nb::make_tuple(to_python(std::move(read.data)), to_python(std::move(read.meta)));
      },
      "p_text"_a, "p_app"_a = nb::none(),
      "The record and DialogueMeta of a dialogue.txt text; ({}, {}) after a reported error.");
  m.def(
      "data_hash", [](nb::handle p_dat) { return data_hash(keys_only(p_dat)); }, "p_dat"_a,
      "The 20-character fingerprint of the record's ids and image keys.");
  m.def(
      "data_compare",
      [](nb::handle p_new, nb::handle p_cur, nb::handle p_app) {
        WindowArg window(p_app);
        Value mine = record_arg(p_new);
        const Value theirs = record_arg(p_cur);
        const Value* before = mine.find("ver_hash");
        const Value old_stamp = before ? *before : Value();
        const bool ok = data_compare(mine, theirs, window.get());
        // The new stamp goes back into the caller's record, as the core wrote it.
        const Value* after = mine.find("ver_hash");
        if (after && !(*after == old_stamp) && PyDict_Check(p_new.ptr()))
          nb::borrow<nb::dict>(p_new)["ver_hash"] = to_python(*after);
        return ok;
      },
      "p_new"_a, "p_cur"_a, "p_app"_a = nb::none(),
      "Whether the translation p_new may be built against the game's p_cur; stamps p_new.");
  m.def(
      "hash_path",
      [](nb::handle p_path, long long p_len) {
        return hash_path(text_arg(p_path, "p_path"), p_len);
      },
      "p_path"_a, "p_len"_a = 16, "The path with its last part replaced by a digest.");
}

}  // namespace verbix::py
