#include "data/base64.h"

#include <array>
#include <cstdint>

#include "utils/data_error.h"

namespace verbix {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<std::uint8_t, 256> make_table() {
  std::array<std::uint8_t, 256> t{};
  for (auto& x : t) x = 0xFF;
  for (int i = 0; i < 64; ++i)
    t[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::uint8_t>(i);
  return t;
}
constexpr auto kTable = make_table();

}  // namespace

void base64_append(std::string& out, std::string_view bytes) {
  const std::size_t n = bytes.size();
  const std::size_t start = out.size();
  out.resize(start + (n + 2) / 3 * 4);
  char* o = out.data() + start;
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  std::size_t i = 0;
  for (; i + 3 <= n; i += 3, o += 4) {
    const std::uint32_t v = std::uint32_t{p[i]} << 16 | std::uint32_t{p[i + 1]} << 8 | p[i + 2];
    o[0] = kAlphabet[v >> 18];
    o[1] = kAlphabet[(v >> 12) & 63];
    o[2] = kAlphabet[(v >> 6) & 63];
    o[3] = kAlphabet[v & 63];
  }
  if (i == n) return;
  const std::uint32_t v =
      std::uint32_t{p[i]} << 16 | (n - i == 2 ? std::uint32_t{p[i + 1]} << 8 : 0);
  o[0] = kAlphabet[v >> 18];
  o[1] = kAlphabet[(v >> 12) & 63];
  o[2] = n - i == 2 ? kAlphabet[(v >> 6) & 63] : '=';
  o[3] = '=';
}

std::string base64_encode(std::string_view bytes) {
  std::string out;
  base64_append(out, bytes);
  return out;
}

// The same walk as Python's binascii.a2b_base64 in its non-strict mode.
std::string base64_decode(std::string_view text) {
  std::string out;
  out.reserve(text.size() / 4 * 3 + 3);
  int quad_pos = 0;
  int pads = 0;
  std::uint32_t left = 0;
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '=') {
      if (quad_pos >= 2 && quad_pos + ++pads >= 4) return out;  // the rest is ignored
      continue;
    }
    const std::uint8_t v = kTable[c];
    if (v == 0xFF) continue;
    pads = 0;
    switch (quad_pos) {
      case 0:
        left = v;
        quad_pos = 1;
        break;
      case 1:
        out += static_cast<char>((left << 2) | (v >> 4));
        left = v & 0x0F;
        quad_pos = 2;
        break;
      case 2:
        out += static_cast<char>((left << 4) | (v >> 2));
        left = v & 0x03;
        quad_pos = 3;
        break;
      default:
        out += static_cast<char>((left << 6) | v);
        quad_pos = 0;
        break;
    }
  }
  if (quad_pos == 1)
    throw DataError("Invalid base64-encoded string: number of data characters (" +
                    std::to_string(out.size() / 3 * 4 + 1) +
                    ") cannot be 1 more than a multiple of 4");
  if (quad_pos != 0) throw DataError("Incorrect padding");
  return out;
}

}  // namespace verbix
