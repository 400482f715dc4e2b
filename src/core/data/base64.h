// Standard base64 (RFC 4648 alphabet, "=" padding, no line breaks) as the encoded blob text
// uses it. The decoder is lenient the way Python's base64.b64decode is by default:
// characters outside the alphabet are skipped, input after a complete padding is ignored,
// and only a wrong number of data characters or missing padding is an error.
#pragma once

#include <string>
#include <string_view>

namespace verbix {

// The base64 text of the bytes.
std::string base64_encode(std::string_view bytes);
// The same, appended to `out`.
void base64_append(std::string& out, std::string_view bytes);

// The bytes of the text. Throws DataError with Python's texts: "Incorrect padding", or
// "Invalid base64-encoded string: number of data characters (5) cannot be 1 more than a
// multiple of 4".
std::string base64_decode(std::string_view text);

}  // namespace verbix
