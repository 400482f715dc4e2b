#include "text/py_text.h"

#include <algorithm>
#include <limits>

namespace verbix {

bool is_py_space(char32_t cp) {
  if (cp <= 0x20) return cp == 0x20 || (cp >= 0x09 && cp <= 0x0D) || (cp >= 0x1C && cp <= 0x1F);
  switch (cp) {
    case 0x85:
    case 0xA0:
    case 0x1680:
    case 0x2028:
    case 0x2029:
    case 0x202F:
    case 0x205F:
    case 0x3000:
      return true;
    default:
      return cp >= 0x2000 && cp <= 0x200A;
  }
}

char32_t next_code_point(std::string_view text, size_t& pos) {
  const auto lead = static_cast<unsigned char>(text[pos++]);
  if (lead < 0x80) return lead;
  const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
  char32_t cp = lead & (0x3F >> extra);
  for (int i = 0; i < extra && pos < text.size(); ++i)
    cp = (cp << 6) | (static_cast<unsigned char>(text[pos++]) & 0x3F);
  return cp;
}

std::string_view py_strip_view(std::string_view text) {
  size_t begin = 0;
  while (begin < text.size()) {
    size_t next = begin;
    if (!is_py_space(next_code_point(text, next))) break;
    begin = next;
  }
  size_t end = begin;
  for (size_t pos = begin; pos < text.size();) {
    if (!is_py_space(next_code_point(text, pos))) end = pos;
  }
  return text.substr(begin, end - begin);
}

std::string py_strip(std::string_view text) { return std::string(py_strip_view(text)); }

bool py_is_blank(std::string_view text) {
  for (size_t pos = 0; pos < text.size();) {
    // Most texts start with a printable ASCII character: decide on it at once.
    const auto c = static_cast<unsigned char>(text[pos]);
    if (c > 0x20 && c < 0x80) return false;
    if (!is_py_space(next_code_point(text, pos))) return false;
  }
  return true;
}

namespace {

struct UpperMapping {
  char32_t from;
  char32_t to[3];
};

constexpr UpperMapping kUpper[] = {
#include "text/upper_table.inc"
};

}  // namespace

void append_utf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string ascii_lower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::string py_upper(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (lead < 0x80) {  // the common case, without a table search
      out += static_cast<char>(lead >= 'a' && lead <= 'z' ? lead - 32 : lead);
      ++pos;
      continue;
    }
    const char32_t cp = next_code_point(text, pos);
    const auto* hit =
        std::lower_bound(std::begin(kUpper), std::end(kUpper), cp,
                         [](const UpperMapping& m, char32_t c) { return m.from < c; });
    if (hit == std::end(kUpper) || hit->from != cp) {
      append_utf8(out, cp);
      continue;
    }
    for (char32_t to : hit->to)
      if (to) append_utf8(out, to);
  }
  return out;
}

size_t code_point_count(std::string_view text) {
  size_t count = 0;
  for (char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

std::optional<long long> py_int(std::string_view raw) {
  const std::string text = py_strip(raw);
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return std::nullopt;
  unsigned long long value = 0;
  const unsigned long long limit =
      negative ? static_cast<unsigned long long>(std::numeric_limits<long long>::max()) + 1
               : static_cast<unsigned long long>(std::numeric_limits<long long>::max());
  bool last_was_digit = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '_' && last_was_digit && i + 1 < text.size() && text[i + 1] != '_') {
      last_was_digit = false;
      continue;
    }
    if (c < '0' || c > '9') return std::nullopt;
    const unsigned digit = static_cast<unsigned>(c - '0');
    if (value > (limit - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
    last_was_digit = true;
  }
  if (!last_was_digit) return std::nullopt;
  if (negative)
    return value == limit ? std::numeric_limits<long long>::min() : -static_cast<long long>(value);
  return static_cast<long long>(value);
}

}  // namespace verbix
