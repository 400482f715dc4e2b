#include "data/fast_deflate.h"

#include <memory>
#include <new>

#ifdef VERBIX_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

namespace verbix {

#ifdef VERBIX_HAVE_LIBDEFLATE

std::optional<std::string> fast_deflate(std::string_view data, int level) {
  const std::unique_ptr<libdeflate_compressor, decltype(&libdeflate_free_compressor)> compressor(
      libdeflate_alloc_compressor(level), libdeflate_free_compressor);
  if (!compressor) throw std::bad_alloc();
  std::string out(libdeflate_zlib_compress_bound(compressor.get(), data.size()), '\0');
  const std::size_t size =
      libdeflate_zlib_compress(compressor.get(), data.data(), data.size(), out.data(), out.size());
  if (size == 0) throw std::bad_alloc();  // the bound always suffices
  out.resize(size);
  return out;
}

#else

std::optional<std::string> fast_deflate(std::string_view, int) { return std::nullopt; }

#endif

}  // namespace verbix
