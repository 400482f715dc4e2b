// Python's text rules for UTF-8 strings, where the tool's behaviour depends on them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace verbix {

// Whether the code point is white space as Python's str.isspace() sees it (U+00A0 and
// U+3000 included).
bool is_py_space(char32_t cp);

// Decodes the code point starting at `pos` of valid UTF-8 and moves `pos` past it.
char32_t next_code_point(std::string_view text, size_t& pos);

// `text` without white space at either end, as str.strip() gives it (as a copy, or as a
// view into `text`).
std::string py_strip(std::string_view text);
std::string_view py_strip_view(std::string_view text);

// Whether `text` is empty once stripped: not text.strip().
bool py_is_blank(std::string_view text);

// `text` with the ASCII letters lowered and every other character kept: enough where the
// texts compared are file name endings, format names and font names.
std::string ascii_lower(std::string_view text);

// `text` upper-cased as str.upper() does it (full mappings: "ß" becomes "SS").
std::string py_upper(std::string_view text);

// The number of code points of valid UTF-8 text, as len() counts a str.
size_t code_point_count(std::string_view text);

// Appends the UTF-8 form of a code point.
void append_utf8(std::string& out, char32_t cp);

// The integer a text reads as under int(): surrounding white space, an optional sign,
// decimal digits with single underscores between them. Nothing when it does not read or
// does not fit in 64 bits.
std::optional<long long> py_int(std::string_view text);

}  // namespace verbix
