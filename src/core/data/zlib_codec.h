// zlib streams (RFC 1950) as the container file and the encoded blob text hold them:
// one-shot compression and decompression that match Python's zlib.compress and
// zlib.decompress (the same bytes out, the same error texts), and streaming forms with which
// the container file is written and read without holding it whole.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "data/byte_stream.h"

struct z_stream_s;

namespace verbix {

// The level the tool writes at; its streams therefore begin with 0x78 0x9C.
inline constexpr int kZlibLevel = 6;

// The most bytes one stream may decompress to. A larger output is refused rather than
// allocated: no language data comes near it, a decompression bomb does.
inline constexpr std::size_t kMaxInflated = std::size_t{1} << 30;

// The zlib stream of `data`. Throws std::bad_alloc when memory runs out.
std::string zlib_compress(std::string_view data, int level = kZlibLevel);

// The bytes of the zlib stream at the start of `data` (anything after the stream is
// ignored). Throws DataError with Python's text, e.g. "Error -3 while decompressing data:
// incorrect header check", or when the output would pass `max_out`.
std::string zlib_decompress(std::string_view data, std::size_t max_out = kMaxInflated);

// Compresses what is written to it into one zlib stream.
class Deflater : public ByteSink {
 public:
  explicit Deflater(int level = kZlibLevel);
  ~Deflater() override;
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;

  void write(std::string_view data) override;
  // Ends the stream and hands over the compressed bytes; the object is spent afterwards.
  std::string finish();

 private:
  void run(int flush);
  std::unique_ptr<z_stream_s> zs_;
  std::string out_;
  std::size_t used_ = 0;
};

// Decompresses a zlib stream whose compressed bytes come from `feed`, as a ByteSource.
class Inflater : public ByteSource {
 public:
  // Fills `buf` with up to `cap` compressed bytes and returns how many; 0 at the end.
  using Feed = std::function<std::size_t(char* buf, std::size_t cap)>;

  explicit Inflater(Feed feed, std::size_t max_out = kMaxInflated);
  ~Inflater() override;
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;

  // Up to `n` decompressed bytes; 0 once the stream has ended. Throws DataError as
  // zlib_decompress does.
  std::size_t read(char* dst, std::size_t n) override;
  // Reads on to the end of the stream, so that its checksum is verified; throws as read.
  void finish();

 private:
  std::unique_ptr<z_stream_s> zs_;
  Feed feed_;
  std::unique_ptr<char[]> in_;  // compressed bytes from the feed
  std::size_t max_out_;
  std::size_t total_out_ = 0;
  bool feed_done_ = false;
  bool ended_ = false;
};

}  // namespace verbix
