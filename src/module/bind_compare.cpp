// The comparison under its own names: `data_hash`, `data_compare` and `hash_path`, taking
// and returning Python values.
#include <nanobind/stl/string.h>

#include "bindings.h"
#include "data/compare.h"
#include "py_value.h"
#include "py_window.h"

namespace verbix::py {
namespace {

using namespace nb::literals;

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

void bind_compare(nb::module_& m) {
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
