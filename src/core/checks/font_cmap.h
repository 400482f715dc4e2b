// The character map of a font file: which code points the font draws with a glyph of its own.
// The glyph check of Build asks it for every character of a translation, so that a character
// the embedded font lacks (the player would see a box) is found before the game shows it.
//
// Our own small reader rather than FreeType: it needs nothing but the bytes, builds with any
// compiler the core builds with (MinGW for the Windows tool included) without another library
// to ship, and reads exactly one table, so it is small enough to fuzz and check against
// fontTools completely.
//
// Read: TrueType and OpenType fonts (sfnt version 1.0, "true", "OTTO") and WOFF 1 wrappers of
// them; the `cmap` table's Unicode subtable chosen in the order HarfBuzz and fontTools use
// ((3,10), (0,6), (0,4), (3,1), (0,3), (0,2), (0,1), (0,0)), in formats 0, 4, 6, 12 and 13.
// A code point mapped to glyph 0 (.notdef) has no glyph.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace verbix {

// Inclusive range of code points that all have a glyph.
struct CodeRange {
  char32_t first;
  char32_t last;
};

// The code points a font has glyphs for, as sorted, disjoint, non-adjacent ranges.
class CharMap {
 public:
  CharMap() = default;
  // Sorts and merges the ranges given.
  explicit CharMap(std::vector<CodeRange> ranges);

  // Whether the code point has a glyph.
  bool has(char32_t cp) const;
  // How many code points have a glyph.
  size_t size() const;
  const std::vector<CodeRange>& ranges() const { return ranges_; }

 private:
  std::vector<CodeRange> ranges_;
};

// What reading a font's character map gave: the map, or the reason it could not be read.
struct CharMapRead {
  CharMap map;
  std::string error;  // empty on success, e.g. "the cmap table lies outside the file"
  bool ok() const { return error.empty(); }
};

// Reads the character map of the font file's bytes. On success `error` is empty; on failure
// it holds a short reason and `map` is empty. Never throws for any input; its time and memory
// are bounded by the input's size.
CharMapRead read_char_map(std::string_view p_font);

}  // namespace verbix
