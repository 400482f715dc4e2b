#include "data/fast_inflate.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#endif

#include <algorithm>
#include <memory>
#include <new>
#include <utility>

#ifdef VERBIX_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

namespace verbix {

InflatedBytes::InflatedBytes(std::size_t capacity) : capacity_(std::max<std::size_t>(capacity, 1)) {
#ifdef _WIN32
  data_ = static_cast<char*>(
      VirtualAlloc(nullptr, capacity_, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  if (!data_) throw std::bad_alloc();
#else
  void* p = mmap(nullptr, capacity_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) throw std::bad_alloc();
  data_ = static_cast<char*>(p);
#endif
}

InflatedBytes::InflatedBytes(InflatedBytes&& o) noexcept
    : size(std::exchange(o.size, 0)),
      data_(std::exchange(o.data_, nullptr)),
      capacity_(std::exchange(o.capacity_, 0)) {}

InflatedBytes& InflatedBytes::operator=(InflatedBytes&& o) noexcept {
  std::swap(size, o.size);
  std::swap(data_, o.data_);
  std::swap(capacity_, o.capacity_);
  return *this;
}

InflatedBytes::~InflatedBytes() {
  if (!data_) return;
#ifdef _WIN32
  VirtualFree(data_, 0, MEM_RELEASE);
#else
  munmap(data_, capacity_);
#endif
}

#ifdef VERBIX_HAVE_LIBDEFLATE

namespace {

struct FreeDecompressor {
  void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

}  // namespace

std::optional<InflatedBytes> fast_inflate(std::string_view data, std::size_t max_out) {
  std::unique_ptr<libdeflate_decompressor, FreeDecompressor> d(libdeflate_alloc_decompressor());
  if (!d) throw std::bad_alloc();
  // The game's files inflate a few times at most; a larger output is tried again in a
  // buffer four times the size, up to the limit.
  std::size_t cap = std::min<std::size_t>(std::max<std::size_t>(data.size() * 4, 1 << 16), max_out);
  for (;;) {
    InflatedBytes out(cap);
    const libdeflate_result rc =
        libdeflate_zlib_decompress(d.get(), data.data(), data.size(), out.data(), cap, &out.size);
    if (rc == LIBDEFLATE_SUCCESS) return out;
    if (rc != LIBDEFLATE_INSUFFICIENT_SPACE || cap >= max_out) return std::nullopt;
    cap = cap > max_out / 4 ? max_out : cap * 4;
  }
}

#else

std::optional<InflatedBytes> fast_inflate(std::string_view, std::size_t) { return std::nullopt; }

#endif

}  // namespace verbix
