#include "text/utf8.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <utility>

namespace verbix {
namespace {

Utf8Fault decode_error(std::string_view data, size_t pos, const char* reason) {
  char byte[8];
  std::snprintf(byte, sizeof byte, "0x%02x", static_cast<unsigned char>(data[pos]));
  return {pos, std::string("'utf-8' codec can't decode byte ") + byte + " in position " +
                   std::to_string(pos) + ": " + reason};
}

// Length of the sequence a lead byte starts, with the allowed range of its second byte
// (which rules out overlong forms, surrogates and values above U+10FFFF); 0 when invalid.
int sequence_length(uint8_t lead, uint8_t& lo, uint8_t& hi) {
  lo = 0x80;
  hi = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) {
    if (lead == 0xE0) lo = 0xA0;
    if (lead == 0xED) hi = 0x9F;
    return 3;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    if (lead == 0xF0) lo = 0x90;
    if (lead == 0xF4) hi = 0x8F;
    return 4;
  }
  return 0;
}

}  // namespace

std::optional<std::string> utf8_error(std::string_view data) {
  std::optional<Utf8Fault> fault = utf8_fault(data);
  if (!fault) return std::nullopt;
  return std::move(fault->message);
}

std::optional<Utf8Fault> utf8_fault(std::string_view data) {
  size_t i = 0;
  const size_t n = data.size();
  while (i < n) {
    // Eight ASCII bytes at a time, the common case of dialogue text.
    if (i + 8 <= n) {
      uint64_t word;
      std::memcpy(&word, data.data() + i, 8);
      if ((word & 0x8080808080808080ULL) == 0) {
        i += 8;
        continue;
      }
    }
    const auto lead = static_cast<uint8_t>(data[i]);
    if (lead < 0x80) {
      ++i;
      continue;
    }
    uint8_t lo, hi;
    const int len = sequence_length(lead, lo, hi);
    if (len == 0) return decode_error(data, i, "invalid start byte");
    for (int k = 1; k < len; ++k) {
      if (i + k >= n) return decode_error(data, i, "unexpected end of data");
      const auto c = static_cast<uint8_t>(data[i + k]);
      const uint8_t min = k == 1 ? lo : 0x80, max = k == 1 ? hi : 0xBF;
      if (c < min || c > max) return decode_error(data, i, "invalid continuation byte");
    }
    i += len;
  }
  return std::nullopt;
}

std::pair<char32_t, std::size_t> decode_utf8_at(std::string_view text, std::size_t pos) {
  const auto lead = static_cast<uint8_t>(text[pos]);
  if (lead < 0x80) return {lead, 1};
  uint8_t lo, hi;
  const int len = sequence_length(lead, lo, hi);
  if (len == 0 || pos + static_cast<std::size_t>(len) > text.size()) return {0, 0};
  char32_t cp = lead & (0x7F >> len);
  for (int k = 1; k < len; ++k) {
    const auto c = static_cast<uint8_t>(text[pos + static_cast<std::size_t>(k)]);
    if (c < (k == 1 ? lo : 0x80) || c > (k == 1 ? hi : 0xBF)) return {0, 0};
    cp = (cp << 6) | (c & 0x3F);
  }
  return {cp, static_cast<std::size_t>(len)};
}

}  // namespace verbix
