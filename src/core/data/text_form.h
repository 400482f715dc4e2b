// The text form of a value, as Python's str() prints it: a text is itself, every other kind
// its representation (None, True, 28, 1.5, b'..', [..], {..}).
#pragma once

#include <string>

#include "data/value.h"

namespace verbix {

inline std::string text_form(const Value& v) { return v.is_text() ? v.as_text() : repr(v); }

}  // namespace verbix
