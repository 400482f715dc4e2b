// Font files written byte by byte for the tests of the character-map reader and the glyph
// check: an sfnt holding only a cmap table with the subtables given.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace verbix::testing {

inline void put16(std::string& out, std::uint32_t v) {
  out += static_cast<char>((v >> 8) & 0xFF);
  out += static_cast<char>(v & 0xFF);
}
inline void put32(std::string& out, std::uint32_t v) {
  put16(out, v >> 16);
  put16(out, v & 0xFFFF);
}

// A format 4 subtable: segments [start, end] mapped by delta, then the 0xFFFF terminator.
inline std::string format4(const std::vector<std::pair<std::uint16_t, std::uint16_t>>& p_segments) {
  std::vector<std::pair<std::uint16_t, std::uint16_t>> segs = p_segments;
  segs.push_back({0xFFFF, 0xFFFF});
  std::string s;
  put16(s, 4);
  put16(s, static_cast<std::uint32_t>(16 + 8 * segs.size()));
  put16(s, 0);
  put16(s, static_cast<std::uint32_t>(2 * segs.size()));
  put16(s, 0), put16(s, 0), put16(s, 0);
  for (auto [start, end] : segs) put16(s, end);
  put16(s, 0);
  for (auto [start, end] : segs) put16(s, start);
  for (auto [start, end] : segs) put16(s, start == 0xFFFF ? 1 : 0x10000 - start + 1);  // glyph 1..
  for (size_t i = 0; i < segs.size(); ++i) put16(s, 0);
  return s;
}

// A format 12 subtable of groups [first, last] starting at `glyph`.
inline std::string format12(const std::vector<std::array<std::uint32_t, 3>>& p_groups) {
  std::string s;
  put16(s, 12), put16(s, 0);
  put32(s, static_cast<std::uint32_t>(16 + 12 * p_groups.size()));
  put32(s, 0);
  put32(s, static_cast<std::uint32_t>(p_groups.size()));
  for (const auto& g : p_groups) put32(s, g[0]), put32(s, g[1]), put32(s, g[2]);
  return s;
}

// A font file holding only a cmap table with the subtables given as (platform, encoding).
inline std::string font(const std::vector<std::tuple<int, int, std::string>>& p_subtables) {
  std::string cmap;
  put16(cmap, 0);
  put16(cmap, static_cast<std::uint32_t>(p_subtables.size()));
  std::uint32_t offset = static_cast<std::uint32_t>(4 + 8 * p_subtables.size());
  std::string bodies;
  for (const auto& [platform, encoding, body] : p_subtables) {
    put16(cmap, platform), put16(cmap, encoding), put32(cmap, offset + bodies.size());
    bodies += body;
  }
  cmap += bodies;
  std::string file;
  put32(file, 0x00010000);
  put16(file, 1), put16(file, 16), put16(file, 0), put16(file, 0);
  file += "cmap";
  put32(file, 0), put32(file, 28), put32(file, static_cast<std::uint32_t>(cmap.size()));
  return file + cmap;
}

}  // namespace verbix::testing
