// The inflate floor of bench/run: seconds to inflate a zlib file held in memory, whole, with
// libdeflate (when built with it) and with zlib, each the median of a few runs. Prints one
// line per library: "<name> <seconds> <inflated bytes>".
//
//   bench_inflate FILE [RUNS]
#include <zlib.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "bench_timing.h"

#ifdef VERBIX_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

namespace {

// Pages the inflaters write into, touched once beforehand so that neither pays the first
// touch of fresh memory (the tool's own buffers are reused blocks).
struct Buffer {
  explicit Buffer(std::size_t n) : bytes(new char[n]), size(n) {
    for (std::size_t i = 0; i < n; i += 4096) bytes[i] = 0;
  }
  std::unique_ptr<char[]> bytes;
  std::size_t size;
};

// zlib as the tool streams it: 256 KiB of output at a time into one buffer.
std::size_t zlib_inflate(const std::string& in, Buffer& out) {
  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) std::exit(2);
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  zs.avail_in = static_cast<uInt>(in.size());
  std::size_t used = 0;
  int rc = Z_OK;
  while (rc == Z_OK && used < out.size) {
    zs.next_out = reinterpret_cast<Bytef*>(out.bytes.get() + used);
    zs.avail_out = static_cast<uInt>(std::min<std::size_t>(out.size - used, 1 << 18));
    const uInt room = zs.avail_out;
    rc = inflate(&zs, Z_NO_FLUSH);
    used += room - zs.avail_out;
  }
  inflateEnd(&zs);
  if (rc != Z_STREAM_END) std::exit(3);
  return used;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_inflate FILE [RUNS]\n");
    return 1;
  }
  const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
  std::ifstream file(argv[1], std::ios::binary);
  const std::string in((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  Buffer out(std::min<std::size_t>(in.size() * 4 + (1 << 20), std::size_t{1} << 31));
  std::size_t size = 0;
  const double z = verbix::bench::median_seconds(runs, [&] { size = zlib_inflate(in, out); });
  std::printf("zlib %.4f %zu\n", z, size);
#ifdef VERBIX_HAVE_LIBDEFLATE
  libdeflate_decompressor* d = libdeflate_alloc_decompressor();
  const double ld = verbix::bench::median_seconds(runs, [&] {
    if (libdeflate_zlib_decompress(d, in.data(), in.size(), out.bytes.get(), out.size, &size))
      std::exit(4);
  });
  libdeflate_free_decompressor(d);
  std::printf("libdeflate %.4f %zu\n", ld, size);
#endif
  return 0;
}
