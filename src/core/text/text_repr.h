// Python's repr() of texts, byte strings and lists of texts, for messages that quote input as the
// system has always quoted it: 'a', "it's", 'tab\there', '\u3000x', ['a', 'b'].
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace verbix {

// Appends the repr() of a str: single quotes, or double quotes when the text holds a single
// quote and no double quote; backslashes and the chosen quote escaped; \t \n \r; other
// characters that str.isprintable() rejects as \xhh, \uhhhh or \Uhhhhhhhh. A byte that is
// not part of valid UTF-8 is shown as \xhh.
void append_py_repr(std::string& out, std::string_view text);

std::string py_repr(std::string_view text);

// Appends the repr() of a bytes object: b, then the quotes as for a str; backslashes and the
// chosen quote escaped; \t \n \r; every other byte outside printable ASCII as \xhh.
void append_py_bytes_repr(std::string& out, std::string_view bytes);

// The repr() of a list of str: "[" + the reprs joined by ", " + "]".
std::string py_repr_list(const std::vector<std::string>& items);

// Whether str.isprintable() holds for the one-character text of the code point.
bool is_py_printable(char32_t cp);

}  // namespace verbix
