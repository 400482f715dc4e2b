#include "text/text_repr.h"

#include <algorithm>
#include <iterator>

#include "text/utf8.h"

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

// The quote repr() puts around a text: double quotes when it holds a single quote and no
// double quote, else single quotes.
char quote_for(std::string_view text) {
  const bool has_single = text.find('\'') != std::string_view::npos;
  const bool has_double = text.find('"') != std::string_view::npos;
  return has_single && !has_double ? '"' : '\'';
}

// Appends an ASCII character as repr() shows it inside `quote`s: the quote and backslash
// escaped, \t \n \r, the other control characters as \xhh.
void append_ascii(std::string& out, char ch, char quote) {
  const auto byte = static_cast<unsigned char>(ch);
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
  const char quote = quote_for(text);
  out += quote;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const char ch = text[pos];
    const auto byte = static_cast<unsigned char>(ch);
    if (byte < 0x80) {
      ++pos;
      append_ascii(out, ch, quote);
      continue;
    }
    const auto [cp, len] = decode_utf8_at(text, pos);
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

void append_py_bytes_repr(std::string& out, std::string_view bytes) {
  const char quote = quote_for(bytes);
  out += 'b';
  out += quote;
  for (const char ch : bytes) {
    const auto byte = static_cast<unsigned char>(ch);
    if (byte < 0x80)
      append_ascii(out, ch, quote);
    else
      append_hex(out, 'x', byte, 2);
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
