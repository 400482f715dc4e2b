// One-shot inflation of a whole zlib stream with libdeflate, faster than zlib (about 1.7x on
// the game's data), in builds that have it (VERBIX_HAVE_LIBDEFLATE). It only ever succeeds or
// declines: a broken or oversized stream is left to zlib, whose errors carry Python's wording.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace verbix {

// Inflated bytes in pages straight from the system: of a generous guess at the size only the
// pages written become resident.
class InflatedBytes {
 public:
  // Throws std::bad_alloc when the pages cannot be had.
  explicit InflatedBytes(std::size_t capacity);
  InflatedBytes(InflatedBytes&& o) noexcept;
  InflatedBytes& operator=(InflatedBytes&& o) noexcept;
  ~InflatedBytes();

  char* data() const noexcept { return data_; }
  std::size_t capacity() const noexcept { return capacity_; }
  std::string_view view() const noexcept { return {data_, size}; }

  std::size_t size = 0;

 private:
  char* data_ = nullptr;
  std::size_t capacity_ = 0;
};

// The bytes of the zlib stream at the start of `data` (anything after it ignored), when they
// number at most `max_out`. std::nullopt when the build lacks libdeflate, the stream is broken
// or truncated, or its output would pass `max_out`. Throws std::bad_alloc when memory runs out.
std::optional<InflatedBytes> fast_inflate(std::string_view data, std::size_t max_out);

}  // namespace verbix
