// UTF-8 checks for text read from files: the core keeps texts as UTF-8 std::string, and a
// file that is not valid UTF-8 is refused with the same wording as the host's decoder.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace verbix {

// Returns nothing when `data` is valid UTF-8 (no overlong forms, no surrogates, nothing
// above U+10FFFF); otherwise the decoder's error text, e.g.
// "'utf-8' codec can't decode byte 0xff in position 3: invalid start byte".
std::optional<std::string> utf8_error(std::string_view data);

// The code point of the UTF-8 sequence at `pos` and its length in bytes; length 0 when the
// bytes there are not valid UTF-8 (bad lead or continuation byte, overlong form, surrogate,
// beyond U+10FFFF, cut short). `pos` must be inside `text`.
std::pair<char32_t, std::size_t> decode_utf8_at(std::string_view text, std::size_t pos);

// Where the first fault of `data` stands (its byte offset) and the decoder's error text;
// nothing when `data` is valid UTF-8.
struct Utf8Fault {
  std::size_t position;
  std::string message;
};
std::optional<Utf8Fault> utf8_fault(std::string_view data);

}  // namespace verbix
