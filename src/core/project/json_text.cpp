#include "project/json_text.h"

#include <cstdint>

#include "text/py_float.h"
#include "utils/data_error.h"

namespace verbix {
namespace {

constexpr char kHex[] = "0123456789abcdef";
// Lists and maps this deep stop the host's encoder with a RecursionError.
constexpr int kMaxDepth = 990;

void append_u_escape(std::string& out, std::uint32_t unit) {
  const char esc[6] = {
      '\\',           'u', kHex[(unit >> 12) & 15], kHex[(unit >> 8) & 15], kHex[(unit >> 4) & 15],
      kHex[unit & 15]};
  out.append(esc, 6);
}

// Decodes one sequence of two to four bytes at `pos` (the lead byte is not ASCII) and moves
// past it; 0xFFFD for a byte that starts no sequence or a truncated one.
std::uint32_t decode_multibyte(std::string_view s, std::size_t& pos) {
  const auto lead = static_cast<unsigned char>(s[pos]);
  const int len = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
  if (len == 0 || pos + len > s.size()) {
    ++pos;
    return 0xFFFD;
  }
  std::uint32_t cp = lead & (0x7F >> len);
  for (int k = 1; k < len; ++k) {
    const auto c = static_cast<unsigned char>(s[pos + k]);
    if ((c & 0xC0) != 0x80) {
      ++pos;
      return 0xFFFD;
    }
    cp = cp << 6 | (c & 0x3F);
  }
  pos += len;
  return cp;
}

void append_escaped_char(std::string& out, unsigned char c) {
  switch (c) {
    case '"':
      out += "\\\"";
      break;
    case '\\':
      out += "\\\\";
      break;
    case '\b':
      out += "\\b";
      break;
    case '\f':
      out += "\\f";
      break;
    case '\n':
      out += "\\n";
      break;
    case '\r':
      out += "\\r";
      break;
    case '\t':
      out += "\\t";
      break;
    default:
      append_u_escape(out, c);
  }
}

// Everything outside printable ASCII (space to tilde) is escaped, DEL included.
bool needs_escape(unsigned char c) { return c < 0x20 || c == '"' || c == '\\' || c >= 0x7F; }

void append_value(std::string& out, const Value& v, int depth);

void append_list(std::string& out, const List& list, int depth) {
  out += '[';
  bool first = true;
  for (const Value& item : list) {
    if (!first) out += ", ";
    first = false;
    append_value(out, item, depth + 1);
  }
  out += ']';
}

void append_map(std::string& out, const Map& map, int depth) {
  out += '{';
  bool first = true;
  for (const auto& [key, item] : map) {
    if (!first) out += ", ";
    first = false;
    append_json_string(out, key);
    out += ": ";
    append_value(out, item, depth + 1);
  }
  out += '}';
}

void append_float(std::string& out, double d) {
  if (d != d)
    out += "NaN";
  else if (d == 1.0 / 0.0)
    out += "Infinity";
  else if (d == -1.0 / 0.0)
    out += "-Infinity";
  else
    append_py_float(out, d);
}

void append_value(std::string& out, const Value& v, int depth) {
  if (depth > kMaxDepth)
    throw DataError("maximum recursion depth exceeded while encoding a JSON object");
  switch (v.kind()) {
    case Value::Kind::None:
      out += "null";
      break;
    case Value::Kind::Bool:
      out += v.as_bool() ? "true" : "false";
      break;
    case Value::Kind::Int:
      out += std::to_string(v.as_int());
      break;
    case Value::Kind::Float:
      append_float(out, v.as_float());
      break;
    case Value::Kind::Text:
      append_json_string(out, v.as_text());
      break;
    case Value::Kind::Bytes:
      throw DataError("Object of type bytes is not JSON serializable");
    case Value::Kind::List:
      append_list(out, v.as_list(), depth);
      break;
    case Value::Kind::Map:
      append_map(out, v.as_map(), depth);
      break;
  }
}

}  // namespace

void append_json_string(std::string& out, std::string_view text) {
  out += '"';
  std::size_t pos = 0;
  while (pos < text.size()) {
    // Copy the longest run that needs no escape in one step.
    std::size_t run = pos;
    while (run < text.size() && !needs_escape(static_cast<unsigned char>(text[run]))) ++run;
    out.append(text, pos, run - pos);
    pos = run;
    if (pos == text.size()) break;
    const auto c = static_cast<unsigned char>(text[pos]);
    if (c < 0x80) {
      append_escaped_char(out, c);
      ++pos;
      continue;
    }
    const std::uint32_t cp = decode_multibyte(text, pos);
    if (cp >= 0x10000) {
      const std::uint32_t v = cp - 0x10000;
      append_u_escape(out, 0xD800 | (v >> 10));
      append_u_escape(out, 0xDC00 | (v & 0x3FF));
    } else {
      append_u_escape(out, cp);
    }
  }
  out += '"';
}

void append_json(std::string& out, const Value& value) { append_value(out, value, 0); }

}  // namespace verbix
