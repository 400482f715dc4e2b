// Python's text rules for UTF-8 strings, where the tool's behaviour depends on them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace verbix {

// Whether the code point is white space as Python's str.isspace() sees it (U+00A0 and
// U+3000 included).
bool is_py_space(char32_t cp);

// Decodes the code point starting at `pos` of valid UTF-8 and moves `pos` past it.
char32_t next_code_point(std::string_view text, size_t& pos);

// `text` without white space at either end, as str.strip() gives it.
std::string py_strip(std::string_view text);

}  // namespace verbix
