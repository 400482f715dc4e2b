#include "utils/py_text.h"

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

std::string py_strip(std::string_view text) {
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
  return std::string(text.substr(begin, end - begin));
}

}  // namespace verbix
