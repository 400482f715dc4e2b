// The font character-map reader on fonts written byte by byte here: each subtable format, the
// choice among subtables, and damage (a truncated file, offsets outside it) that must give a
// reason rather than a crash. tests/python/test_checks.py checks it against fontTools.
#include "checks/font_cmap.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

namespace verbix {
namespace {

void put16(std::string& out, std::uint32_t v) {
  out += static_cast<char>((v >> 8) & 0xFF);
  out += static_cast<char>(v & 0xFF);
}
void put32(std::string& out, std::uint32_t v) {
  put16(out, v >> 16);
  put16(out, v & 0xFFFF);
}

// A format 4 subtable: segments [start, end] mapped by delta, then the 0xFFFF terminator.
std::string format4(const std::vector<std::pair<std::uint16_t, std::uint16_t>>& p_segments) {
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
std::string format12(const std::vector<std::array<std::uint32_t, 3>>& p_groups) {
  std::string s;
  put16(s, 12), put16(s, 0);
  put32(s, static_cast<std::uint32_t>(16 + 12 * p_groups.size()));
  put32(s, 0);
  put32(s, static_cast<std::uint32_t>(p_groups.size()));
  for (const auto& g : p_groups) put32(s, g[0]), put32(s, g[1]), put32(s, g[2]);
  return s;
}

// A font file holding only a cmap table with the subtables given as (platform, encoding).
std::string font(const std::vector<std::tuple<int, int, std::string>>& p_subtables) {
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

TEST(FontCmap, Format4MapsItsSegmentsButNotTheTerminator) {
  const CharMapRead read = read_char_map(font({{3, 1, format4({{0x20, 0x7E}, {0xE9, 0xE9}})}}));
  ASSERT_TRUE(read.ok()) << read.error;
  EXPECT_TRUE(read.map.has(U'A'));
  EXPECT_TRUE(read.map.has(U'\u00e9'));
  EXPECT_FALSE(read.map.has(U'\u00e8'));
  EXPECT_FALSE(read.map.has(0xFFFF));
  EXPECT_EQ(read.map.size(), 96u);
}

TEST(FontCmap, TheFullRepertoireSubtableIsPreferred) {
  const CharMapRead read = read_char_map(
      font({{3, 1, format4({{0x41, 0x41}})}, {3, 10, format12({{{0x1F600, 0x1F601, 5}}})}}));
  ASSERT_TRUE(read.ok()) << read.error;
  EXPECT_FALSE(read.map.has(U'A'));
  EXPECT_TRUE(read.map.has(0x1F601));
  // Glyph 0 is no glyph: the first code of a group starting at glyph 0 is not mapped.
  EXPECT_EQ(read_char_map(font({{3, 10, format12({{{0x100, 0x102, 0}}})}})).map.size(), 2u);
}

TEST(FontCmap, DamageGivesAReason) {
  const std::string good = font({{3, 1, format4({{0x20, 0x7E}})}});
  for (size_t cut = 0; cut < good.size(); ++cut) {
    const CharMapRead read = read_char_map(good.substr(0, cut));
    EXPECT_FALSE(read.ok()) << cut;
    EXPECT_EQ(read.map.size(), 0u);
  }
  std::string far = good;
  far[23] = 0x7F;  // the cmap table's offset
  EXPECT_EQ(read_char_map(far).error, "the cmap table lies outside the file");
  EXPECT_EQ(read_char_map(font({{1, 0, format12({})}})).error,
            "the cmap table has no Unicode subtable");
  EXPECT_EQ(read_char_map("wOF2" + std::string(40, '\0')).error,
            "WOFF2 fonts are not read; embed the font as .ttf or .otf");
  std::string huge = font({{3, 10, format12({{{0, 0x10FFFF, 1}}})}});
  huge[huge.size() - 13] = 0x7F;  // a group count far beyond the table
  EXPECT_EQ(read_char_map(huge).error, "the cmap subtable is cut short");
}

}  // namespace
}  // namespace verbix
