// Fuzz target of the font character-map reader: any bytes give a map or a reason, never
// more; a map read is sorted, disjoint and within Unicode.
#include <cstdint>
#include <string_view>

#include "checks/font_cmap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const verbix::CharMapRead read =
      verbix::read_char_map(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!read.ok() && read.map.size() != 0) __builtin_trap();
  char32_t next = 0;
  for (const verbix::CodeRange& r : read.map.ranges()) {
    if (r.first < next || r.last < r.first || r.last > 0x10FFFF) __builtin_trap();
    next = r.last + 2;
  }
  return 0;
}
