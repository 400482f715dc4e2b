// JSON text as CPython's json.dumps writes it with its defaults: no indentation, ", " and
// ": " as separators, every character outside printable ASCII as a lower-case \u escape (a
// surrogate pair beyond U+FFFF), the short escapes \" \\ \b \f \n \r \t, other control characters
// as \u00XX, map members in insertion order, none as null, floats as repr() writes them (NaN,
// Infinity, -Infinity outside the finite range).
#pragma once

#include <string>
#include <string_view>

#include "data/value.h"

namespace verbix {

// Appends the JSON string literal of UTF-8 text (a surrogate code point encoded in three
// bytes is escaped as itself; a byte that starts no sequence as \ufffd).
void append_json_string(std::string& out, std::string_view text);

// Appends the JSON text of a value. Throws DataError, with json.dumps' words, for a byte
// string ("Object of type bytes is not JSON serializable") and for lists and maps nested
// deeper than the host's encoder goes ("maximum recursion depth exceeded while encoding a
// JSON object").
void append_json(std::string& out, const Value& value);

}  // namespace verbix
