#include "text/text_repr.h"

#include <algorithm>
#include <iterator>

namespace verbix {

namespace {

struct Range {
  char32_t first;
  char32_t last;
};

constexpr Range kHidden[] = {
#include "text/repr_table.inc"
};

constexpr char kHex[] = "0123456789abcdef";

void append_hex(std::string& out, char prefix, char32_t value, int digits) {
  out += '\\';
  out += prefix;
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) out += kHex[(value >> shift) & 15];
}

// The code point at `pos` and its length in bytes, or length 0 when the bytes there are not
// valid UTF-8 (bad lead or continuation byte, overlong form, surrogate, beyond U+10FFFF).
std::pair<char32_t, std::size_t> decode(std::string_view s, std::size_t pos) {
  const auto b0 = static_cast<unsigned char>(s[pos]);
  if (b0 < 0x80) return {b0, 1};
  std::size_t len;
  char32_t cp;
  char32_t min;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2, cp = b0 & 0x1F, min = 0x80;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3, cp = b0 & 0x0F, min = 0x800;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4, cp = b0 & 0x07, min = 0x10000;
  } else {
    return {0, 0};
  }
  if (pos + len > s.size()) return {0, 0};
  for (std::size_t i = 1; i < len; ++i) {
    const auto b = static_cast<unsigned char>(s[pos + i]);
    if ((b & 0xC0) != 0x80) return {0, 0};
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return {0, 0};
  return {cp, len};
}

}  // namespace

bool is_py_printable(char32_t cp) {
  const Range* end = std::end(kHidden);
  const Range* it = std::upper_bound(std::begin(kHidden), end, cp,
                                     [](char32_t c, const Range& r) { return c < r.first; });
  if (it == std::begin(kHidden)) return true;
  --it;
  return cp > it->last;
}

void append_py_repr(std::string& out, std::string_view text) {
  const bool has_single = text.find('\'') != std::string_view::npos;
  const bool has_double = text.find('"') != std::string_view::npos;
  const char quote = has_single && !has_double ? '"' : '\'';
  out += quote;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const char ch = text[pos];
    const auto byte = static_cast<unsigned char>(ch);
    if (byte < 0x80) {
      ++pos;
      if (ch == quote || ch == '\\') {
        out += '\\';
        out += ch;
      } else if (ch == '\t') {
        out += "\\t";
      } else if (ch == '\n') {
        out += "\\n";
      } else if (ch == '\r') {
        out += "\\r";
      } else if (byte < 0x20 || byte == 0x7F) {
        append_hex(out, 'x', byte, 2);
      } else {
        out += ch;
      }
      continue;
    }
    const auto [cp, len] = decode(text, pos);
    if (len == 0) {
      append_hex(out, 'x', byte, 2);
      ++pos;
    } else if (is_py_printable(cp)) {
      out.append(text.substr(pos, len));
      pos += len;
    } else {
      if (cp <= 0xFF)
        append_hex(out, 'x', cp, 2);
      else if (cp <= 0xFFFF)
        append_hex(out, 'u', cp, 4);
      else
        append_hex(out, 'U', cp, 8);
      pos += len;
    }
  }
  out += quote;
}

std::string py_repr(std::string_view text) {
  std::string out;
  append_py_repr(out, text);
  return out;
}

std::string py_repr_list(const std::vector<std::string>& items) {
  std::string out = "[";
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i) out += ", ";
    append_py_repr(out, items[i]);
  }
  out += ']';
  return out;
}

}  // namespace verbix
