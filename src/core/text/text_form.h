// Python's view of a value where the tool depends on it: its text form, as str() prints it
// (a text is itself, every other kind its representation: None, True, 28, 1.5, b'..', [..]),
// and its truth, as bool() gives it.
#pragma once

#include <string>

#include "data/value.h"

namespace verbix {

inline std::string text_form(const Value& v) {
  return v.is_text() ? std::string(v.as_text()) : repr(v);
}

// None, false, zero and empty texts, byte strings, lists and maps are false.
inline bool truth(const Value& v) {
  switch (v.kind()) {
    case Value::Kind::None:
      return false;
    case Value::Kind::Bool:
      return v.as_bool();
    case Value::Kind::Int:
      return v.as_int() != 0;
    case Value::Kind::Float:
      return v.as_float() != 0.0;
    default:
      return v.size() != 0;
  }
}

}  // namespace verbix
