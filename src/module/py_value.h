// Conversion between Python values and the core's value tree: dict (str keys), list, tuple
// (as a list), str, int, bool, None, bytes, bytearray and float.
//
// Both directions walk the tree with their own stack, so depth costs no native stack. A
// list or dict that is reached more than once keeps being one object: one shared payload in
// the tree, one Python object back in Python (as CPython's pickle keeps it), so shared data
// is never multiplied.
#pragma once

#include <optional>
#include <string_view>

#include "bindings.h"
#include "data/value.h"

namespace verbix::py {

// The tree of a Python value. Raises (as a pending Python error, thrown as
// nb::python_error) TypeError for other kinds and for dict keys that are not str,
// OverflowError for ints beyond 64 bits, ValueError for a list or dict that contains itself
// or that nests deeper than kMaxNesting, UnicodeEncodeError for str with lone surrogates.
Value from_python(nb::handle obj);

// The Python value of a tree. The tree is consumed: texts and byte strings that it alone
// holds are moved out as they are converted, so that the two forms of a large record do
// not both stand in memory at their full size.
nb::object to_python(Value&& v);
inline nb::object to_python(const Value& v) { return to_python(Value(v)); }
// The record as a Python value, or None when there is none: a workflow's result.
inline nb::object to_python_or_none(std::optional<Value>&& v) {
  return v ? to_python(std::move(*v)) : nb::none();
}

// The bytes of any object with the buffer protocol (bytes, bytearray, memoryview), held
// for as long as the view lives.
class BytesArg {
 public:
  explicit BytesArg(nb::handle obj);
  ~BytesArg();
  BytesArg(const BytesArg&) = delete;
  BytesArg& operator=(const BytesArg&) = delete;

  bool ok() const { return ok_; }
  std::string_view view() const;

 private:
  Py_buffer buf_{};
  bool ok_ = false;
};

// Python's complaint about an object that is not bytes-like:
// "a bytes-like object is required, not 'str'".
std::string bytes_required(nb::handle obj);

// A str argument as UTF-8 without a copy; a TypeError naming `name` for anything else.
std::string_view text_arg(nb::handle obj, const char* name);

// The record as the TXT writer and the comparison read it: none of them looks at image
// bytes, so the image map keeps its keys with none for values and its bytes are not copied.
Value record_arg(nb::handle rec);

}  // namespace verbix::py
