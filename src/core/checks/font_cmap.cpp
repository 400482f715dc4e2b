#include "checks/font_cmap.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <utility>

#include "data/zlib_codec.h"
#include "utils/data_error.h"

namespace verbix {
namespace {

constexpr char32_t kMaxCodePoint = 0x10FFFF;
// The most a cmap table may inflate to from a WOFF file; real ones stay far below.
constexpr std::size_t kMaxCmapBytes = std::size_t{16} << 20;

// A reason the map cannot be read; caught at the entry point and turned into `error`.
struct CmapFailure {
  std::string reason;
};

[[noreturn]] void fail(std::string p_reason) { throw CmapFailure{std::move(p_reason)}; }

// Big-endian reads within a byte range; a read past its end fails with `what` "cut short".
class Reader {
 public:
  Reader(std::string_view p_bytes, std::string p_what)
      : bytes_(p_bytes), what_(std::move(p_what)) {}

  std::uint32_t u(std::size_t p_off, int p_len) const {
    if (p_off > bytes_.size() || bytes_.size() - p_off < static_cast<std::size_t>(p_len))
      fail(what_ + " is cut short");
    std::uint32_t v = 0;
    for (int i = 0; i < p_len; ++i) v = (v << 8) | static_cast<unsigned char>(bytes_[p_off + i]);
    return v;
  }
  std::uint16_t u16(std::size_t p_off) const { return static_cast<std::uint16_t>(u(p_off, 2)); }
  std::uint32_t u32(std::size_t p_off) const { return u(p_off, 4); }
  // The bytes from `p_off` for `p_len`, failing as a read past the end does.
  std::string_view slice(std::size_t p_off, std::size_t p_len) const {
    if (p_off > bytes_.size() || bytes_.size() - p_off < p_len) fail(what_ + " is cut short");
    return bytes_.substr(p_off, p_len);
  }
  std::size_t size() const { return bytes_.size(); }

 private:
  std::string_view bytes_;
  std::string what_;
};

std::uint32_t tag(const char (&p_name)[5]) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(p_name[i]);
  return v;
}

// Adds the range [first, last] less the one code point that maps to glyph 0, if any.
void add_range(std::vector<CodeRange>& out, char32_t first, char32_t last,
               std::optional<char32_t> notdef = std::nullopt) {
  if (first > last) return;
  if (notdef && *notdef >= first && *notdef <= last) {
    if (*notdef > first) out.push_back({first, *notdef - 1});
    if (*notdef < last) out.push_back({*notdef + 1, last});
    return;
  }
  out.push_back({first, last});
}

// Format 0: a byte glyph id per code 0..255.
void read_format0(const Reader& r, std::vector<CodeRange>& out) {
  for (char32_t c = 0; c < 256; ++c)
    if (r.u(6 + c, 1) != 0) add_range(out, c, c);
}

// Format 4: segments of 16-bit codes, each mapped by a delta or through the glyph id array.
// As in fontTools and HarfBuzz, the last segment (the 0xFFFF terminator) maps nothing.
void read_format4(const Reader& r, std::vector<CodeRange>& out) {
  const std::size_t seg_count = r.u16(6) / 2;
  const std::size_t ends = 14, starts = ends + 2 * seg_count + 2, deltas = starts + 2 * seg_count;
  const std::size_t offsets = deltas + 2 * seg_count;
  r.slice(ends, offsets + 2 * seg_count - ends);
  std::uint32_t previous_end = 0;
  for (std::size_t i = 0; i + 1 < seg_count; ++i) {
    const std::uint16_t end = r.u16(ends + 2 * i), start = r.u16(starts + 2 * i);
    const std::uint16_t delta = r.u16(deltas + 2 * i), range_offset = r.u16(offsets + 2 * i);
    if (start > end) continue;
    // Sorted, disjoint segments keep the work within 64K codes for any table.
    if (i > 0 && start <= previous_end) fail("the cmap format 4 segments are out of order");
    previous_end = end;
    if (range_offset == 0) {
      const char32_t zero = static_cast<std::uint16_t>(0x10000 - delta);
      add_range(out, start, end, zero);
      continue;
    }
    const std::size_t base = offsets + 2 * i + range_offset;
    for (std::uint32_t c = start; c <= end; ++c) {
      std::uint16_t gid = r.u16(base + 2 * (c - start));
      if (gid != 0) gid = static_cast<std::uint16_t>(gid + delta);
      if (gid != 0) add_range(out, c, c);
    }
  }
}

// Format 6: a dense array of 16-bit glyph ids from a first code.
void read_format6(const Reader& r, std::vector<CodeRange>& out) {
  const std::uint32_t first = r.u16(6), count = r.u16(8);
  r.slice(10, 2 * std::size_t{count});
  for (std::uint32_t i = 0; i < count && first + i <= 0xFFFF; ++i)
    if (r.u16(10 + 2 * i) != 0) add_range(out, first + i, first + i);
}

// Formats 12 and 13: groups of 32-bit code ranges; 12 maps a range to consecutive glyphs, 13
// every code of a range to one glyph.
void read_groups(const Reader& r, int p_format, std::vector<CodeRange>& out) {
  const std::uint32_t groups = r.u32(12);
  r.slice(16, std::size_t{groups} * 12);
  for (std::uint32_t g = 0; g < groups; ++g) {
    const std::size_t at = 16 + std::size_t{g} * 12;
    const std::uint32_t first = r.u32(at),
                        last = std::min<std::uint32_t>(r.u32(at + 4), kMaxCodePoint);
    const std::uint32_t glyph = r.u32(at + 8);
    if (first > last) continue;
    if (p_format == 13) {
      if (glyph != 0) add_range(out, first, last);
    } else {
      add_range(out, first, last, glyph == 0 ? std::optional<char32_t>(first) : std::nullopt);
    }
  }
}

// The Unicode subtables in the order of preference, as (platform, encoding).
constexpr std::array<std::pair<std::uint16_t, std::uint16_t>, 8> kPreferred{
    {{3, 10}, {0, 6}, {0, 4}, {3, 1}, {0, 3}, {0, 2}, {0, 1}, {0, 0}}};

std::vector<CodeRange> read_cmap_table(std::string_view p_cmap) {
  const Reader cmap(p_cmap, "the cmap table");
  const std::uint16_t count = cmap.u16(2);
  cmap.slice(4, std::size_t{count} * 8);
  for (const auto& [platform, encoding] : kPreferred) {
    for (std::uint16_t i = 0; i < count; ++i) {
      const std::size_t rec = 4 + std::size_t{i} * 8;
      if (cmap.u16(rec) != platform || cmap.u16(rec + 2) != encoding) continue;
      const std::uint32_t offset = cmap.u32(rec + 4);
      if (offset >= cmap.size()) fail("the cmap subtable lies outside the cmap table");
      const Reader sub(p_cmap.substr(offset), "the cmap subtable");
      const std::uint16_t format = sub.u16(0);
      std::vector<CodeRange> out;
      switch (format) {
        case 0:
          read_format0(sub, out);
          break;
        case 4:
          read_format4(sub, out);
          break;
        case 6:
          read_format6(sub, out);
          break;
        case 12:
        case 13:
          read_groups(sub, format, out);
          break;
        default:
          fail("the cmap subtable has format " + std::to_string(format) + ", not read");
      }
      return out;
    }
  }
  fail("the cmap table has no Unicode subtable");
}

// The cmap table of a WOFF 1 file, inflated when it is stored compressed.
std::string woff_cmap(const Reader& file) {
  const std::uint16_t count = file.u16(12);
  for (std::uint16_t i = 0; i < count; ++i) {
    const std::size_t rec = 44 + std::size_t{i} * 20;
    if (file.u32(rec) != tag("cmap")) continue;
    const std::uint32_t offset = file.u32(rec + 4), stored = file.u32(rec + 8);
    const std::uint32_t length = file.u32(rec + 12);
    if (length > kMaxCmapBytes) fail("the cmap table is too large");
    const std::string_view bytes = file.slice(offset, stored);
    if (stored >= length) return std::string(bytes.substr(0, length));
    try {
      std::string table = zlib_decompress(bytes, length);
      if (table.size() != length) fail("the cmap table does not inflate to its length");
      return table;
    } catch (const DataError& e) {
      fail(std::string("the cmap table does not inflate: ") + e.what());
    }
  }
  fail("the font has no cmap table");
}

std::string sfnt_cmap(const Reader& file) {
  const std::uint16_t count = file.u16(4);
  for (std::uint16_t i = 0; i < count; ++i) {
    const std::size_t rec = 12 + std::size_t{i} * 16;
    if (file.u32(rec) != tag("cmap")) continue;
    const std::uint32_t offset = file.u32(rec + 8), length = file.u32(rec + 12);
    if (offset > file.size() || file.size() - offset < length)
      fail("the cmap table lies outside the file");
    return std::string(file.slice(offset, length));
  }
  fail("the font has no cmap table");
}

}  // namespace

CharMap::CharMap(std::vector<CodeRange> ranges) {
  std::sort(ranges.begin(), ranges.end(),
            [](const CodeRange& a, const CodeRange& b) { return a.first < b.first; });
  for (const CodeRange& r : ranges) {
    if (!ranges_.empty() && r.first <= ranges_.back().last + 1)
      ranges_.back().last = std::max(ranges_.back().last, r.last);
    else
      ranges_.push_back(r);
  }
}

bool CharMap::has(char32_t cp) const {
  auto it = std::upper_bound(ranges_.begin(), ranges_.end(), cp,
                             [](char32_t c, const CodeRange& r) { return c < r.first; });
  return it != ranges_.begin() && cp <= std::prev(it)->last;
}

size_t CharMap::size() const {
  size_t n = 0;
  for (const CodeRange& r : ranges_) n += r.last - r.first + 1;
  return n;
}

CharMapRead read_char_map(std::string_view p_font) {
  try {
    const Reader file(p_font, "the font file");
    if (p_font.size() < 12) fail("the font file is cut short");
    const std::uint32_t version = file.u32(0);
    std::string cmap;
    if (version == tag("wOFF"))
      cmap = woff_cmap(file);
    else if (version == 0x00010000 || version == tag("true") || version == tag("OTTO"))
      cmap = sfnt_cmap(file);
    else if (version == tag("wOF2"))
      fail("WOFF2 fonts are not read; embed the font as .ttf or .otf");
    else
      fail("not a TrueType or OpenType font");
    return {CharMap(read_cmap_table(cmap)), {}};
  } catch (const CmapFailure& f) {
    return {{}, f.reason};
  } catch (const std::bad_alloc&) {
    return {{}, "out of memory"};
  }
}

}  // namespace verbix
