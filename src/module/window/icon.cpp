#include "window/icon.h"

#include <zlib.h>

#include <cstdint>
#include <vector>

namespace verbix::py {
namespace {

constexpr std::string_view kPngSignature = "\x89PNG\r\n\x1a\n";

uint32_t le16(std::string_view b, size_t at) {
  return static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8;
}
uint32_t le32(std::string_view b, size_t at) { return le16(b, at) | le16(b, at + 2) << 16; }

void put_be32(std::string& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(v >> shift));
}

void put_chunk(std::string& out, std::string_view type, std::string_view body) {
  put_be32(out, static_cast<uint32_t>(body.size()));
  std::string typed(type);
  typed += body;
  out += typed;
  put_be32(out, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(typed.data()),
                                            static_cast<uInt>(typed.size()))));
}

// PNG of straight-alpha RGBA rows, top to bottom.
std::string encode_png(uint32_t width, uint32_t height, const std::string& rgba) {
  std::string raw;
  raw.reserve(height * (width * 4 + 1));
  for (uint32_t y = 0; y < height; ++y) {
    raw.push_back('\0');  // no filter
    raw.append(rgba, y * width * 4, width * 4);
  }
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::string packed(size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(packed.data()), &size,
                reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()),
                9) != Z_OK)
    return {};
  packed.resize(size);

  std::string header;
  put_be32(header, width);
  put_be32(header, height);
  header += std::string("\x08\x06\x00\x00\x00", 5);  // 8 bits per channel, RGBA
  std::string out(kPngSignature);
  put_chunk(out, "IHDR", header);
  put_chunk(out, "IDAT", packed);
  put_chunk(out, "IEND", {});
  return out;
}

}  // namespace

std::string ico_to_png(std::string_view p_ico) {
  if (p_ico.size() < 22 || le16(p_ico, 0) != 0 || le16(p_ico, 2) != 1 || le16(p_ico, 4) < 1)
    return {};
  const uint32_t size = le32(p_ico, 14);
  const uint32_t offset = le32(p_ico, 18);
  if (offset > p_ico.size() || size > p_ico.size() - offset) return {};
  const std::string_view image = p_ico.substr(offset, size);
  if (image.substr(0, kPngSignature.size()) == kPngSignature) return std::string(image);

  // A bitmap: BITMAPINFOHEADER, then BGRA rows bottom up, then the AND mask rows.
  if (image.size() < 40 || le32(image, 0) < 40 || le16(image, 14) != 32) return {};
  const uint32_t width = le32(image, 4);
  const uint32_t height = le32(image, 8) / 2;
  if (width == 0 || height == 0 || width > 1024 || height > 1024) return {};
  const size_t pixels_at = le32(image, 0);
  const size_t mask_stride = (width + 31) / 32 * 4;
  const size_t mask_at = pixels_at + size_t{width} * height * 4;
  if (image.size() < mask_at + mask_stride * height) return {};

  bool has_alpha = false;
  for (size_t i = 0; i < size_t{width} * height; ++i)
    if (image[pixels_at + i * 4 + 3] != 0) has_alpha = true;

  std::string rgba(size_t{width} * height * 4, '\0');
  for (uint32_t y = 0; y < height; ++y) {
    const uint32_t src_row = height - 1 - y;
    for (uint32_t x = 0; x < width; ++x) {
      const size_t src = pixels_at + (size_t{src_row} * width + x) * 4;
      const size_t dst = (size_t{y} * width + x) * 4;
      rgba[dst] = image[src + 2];
      rgba[dst + 1] = image[src + 1];
      rgba[dst + 2] = image[src];
      if (has_alpha) {
        rgba[dst + 3] = image[src + 3];
      } else {
        const uint8_t bits = static_cast<uint8_t>(image[mask_at + src_row * mask_stride + x / 8]);
        rgba[dst + 3] = (bits & (0x80 >> (x % 8))) ? '\0' : '\xff';
      }
    }
  }
  return encode_png(width, height, rgba);
}

}  // namespace verbix::py
