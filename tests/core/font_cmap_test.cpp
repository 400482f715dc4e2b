// The font character-map reader on fonts written byte by byte here: each subtable format, the
// choice among subtables, and damage (a truncated file, offsets outside it) that must give a
// reason rather than a crash. tests/python/test_checks.py checks it against fontTools.
#include "checks/font_cmap.h"

#include <gtest/gtest.h>

#include "font_builders.h"

namespace verbix {
namespace {

using testing::font;
using testing::format12;
using testing::format4;

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
