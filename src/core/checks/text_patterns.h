// The patterns in a text that the build checks look for: the placeholders a game fills in at
// run time, and what a spreadsheet makes of a cell it takes for a number or a formula.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace verbix {

// The placeholders of a text, sorted (a multiset), each as it is written:
//  - printf conversions: "%d", "%s", "%5.2f", "%-3d", "%1$s", "%(name)s", "%lld" ("%%" is a
//    literal percent sign, and "50% off" holds none: a blank is not taken for a flag);
//  - brace fields: "{0}", "{name}", "{0:>3}", "{}" ("{{" and "}}" are literal braces);
//  - markup tags: "<b>", "</b>", "<color=#f00>", "<br/>" (a "<" followed by a letter, or by
//    "/" and a letter, up to the next ">" on the same line).
std::vector<std::string> find_placeholders(std::string_view p_text);

// Whether the text is one of the error values a spreadsheet shows in a cell: "#NAME?",
// "#VALUE!", "#REF!", "#DIV/0!", "#N/A", "#NUM!", "#NULL!".
bool is_spreadsheet_error(std::string_view p_text);

// What a spreadsheet shows for a cell typed as `p_text`, when that differs from the text: a
// number written another way ("007" -> "7", "+50" -> "50", "1e5" -> "100000", "2.50" ->
// "2.5") or a formula of numbers and + - * / and parentheses ("=1+1" -> "2"). Nothing for any
// other text, a number already written as the spreadsheet writes it, or a formula it would
// turn into an error.
std::optional<std::string> spreadsheet_reading(std::string_view p_text);

}  // namespace verbix
