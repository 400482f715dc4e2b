#include "data/zlib_codec.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#include "data/fast_inflate.h"
#include "utils/data_error.h"

namespace verbix {

void read_to_end(ByteSource& source) {
  char sink[1 << 16];
  while (source.read(sink, sizeof sink) > 0) {
  }
}

std::size_t MemorySource::read(char* dst, std::size_t n) {
  const std::size_t k = std::min(n, data_.size());
  std::memcpy(dst, data_.data(), k);
  data_.remove_prefix(k);
  return k;
}

namespace {

constexpr std::size_t kInChunk = 1 << 18;

// Python's wording of a zlib failure.
[[noreturn]] void inflate_error(int err, const char* zmsg) {
  if (err == Z_MEM_ERROR) throw DataError("Out of memory while decompressing data");
  if (!zmsg) {
    if (err == Z_BUF_ERROR) zmsg = "incomplete or truncated stream";
    if (err == Z_STREAM_ERROR) zmsg = "inconsistent stream state";
    if (err == Z_DATA_ERROR) zmsg = "invalid input data";
  }
  std::string text = "Error " + std::to_string(err) + " while decompressing data";
  if (zmsg) text += std::string(": ") + zmsg;
  throw DataError(text);
}

}  // namespace

// ---------------------------------------------------------------------------------------

Deflater::Deflater(int level) : zs_(std::make_unique<z_stream_s>()) {
  if (deflateInit(zs_.get(), level) != Z_OK) throw std::bad_alloc();
}

Deflater::~Deflater() { deflateEnd(zs_.get()); }

void Deflater::run(int flush) {
  for (;;) {
    if (used_ == out_.size()) out_.resize(std::max<std::size_t>(out_.size() * 3 / 2, 1 << 16));
    const std::size_t room = std::min<std::size_t>(out_.size() - used_, UINT_MAX);
    zs_->next_out = reinterpret_cast<Bytef*>(out_.data() + used_);
    zs_->avail_out = static_cast<uInt>(room);
    const int rc = deflate(zs_.get(), flush);
    used_ += room - zs_->avail_out;
    if (rc == Z_STREAM_END) return;
    if (rc != Z_OK && rc != Z_BUF_ERROR) throw std::bad_alloc();
    if (flush == Z_NO_FLUSH && zs_->avail_in == 0 && zs_->avail_out != 0) return;
  }
}

void Deflater::write(std::string_view data) {
  while (!data.empty()) {
    const std::size_t k = std::min<std::size_t>(data.size(), UINT_MAX);
    zs_->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs_->avail_in = static_cast<uInt>(k);
    run(Z_NO_FLUSH);
    data.remove_prefix(k);
  }
}

std::string Deflater::finish() {
  zs_->next_in = nullptr;
  zs_->avail_in = 0;
  run(Z_FINISH);
  out_.resize(used_);
  return std::move(out_);
}

std::string zlib_compress(std::string_view data, int level) {
  Deflater deflater(level);
  deflater.write(data);
  return deflater.finish();
}

// ---------------------------------------------------------------------------------------

Inflater::Inflater(Feed feed, std::size_t max_out)
    : zs_(std::make_unique<z_stream_s>()), feed_(std::move(feed)), max_out_(max_out) {
  if (inflateInit(zs_.get()) != Z_OK) throw DataError("Out of memory while decompressing data");
}

Inflater::~Inflater() { inflateEnd(zs_.get()); }

std::size_t Inflater::read(char* dst, std::size_t n) {
  if (ended_ || n == 0) return 0;
  const std::size_t room = std::min<std::size_t>(n, UINT_MAX);
  zs_->next_out = reinterpret_cast<Bytef*>(dst);
  zs_->avail_out = static_cast<uInt>(room);
  while (zs_->avail_out == room) {
    if (zs_->avail_in == 0 && !feed_done_) {
      if (!in_) in_.reset(new char[kInChunk]);  // uninitialised: the feed fills it
      const std::size_t got = feed_(in_.get(), kInChunk);
      if (got == 0) feed_done_ = true;
      zs_->next_in = reinterpret_cast<Bytef*>(in_.get());
      zs_->avail_in = static_cast<uInt>(got);
    }
    const int rc = inflate(zs_.get(), Z_NO_FLUSH);
    if (rc == Z_STREAM_END) {
      ended_ = true;
      break;
    }
    if (rc == Z_BUF_ERROR || rc == Z_OK) {
      if (zs_->avail_in == 0 && feed_done_ && zs_->avail_out == room)
        inflate_error(Z_BUF_ERROR, nullptr);
      continue;
    }
    inflate_error(rc, zs_->msg);
  }
  const std::size_t produced = room - zs_->avail_out;
  total_out_ += produced;
  if (total_out_ > max_out_)
    throw DataError("decompressed data larger than " + std::to_string(max_out_) + " bytes");
  return produced;
}

void Inflater::finish() { read_to_end(*this); }

std::string zlib_decompress(std::string_view data, std::size_t max_out) {
  // libdeflate where the build has it; zlib for what it declines, in Python's words.
  if (std::optional<InflatedBytes> fast = fast_inflate(data, max_out))
    return std::string(fast->view());
  MemorySource source(data);
  Inflater inflater([&](char* buf, std::size_t cap) { return source.read(buf, cap); }, max_out);
  std::string out;
  std::size_t used = 0;
  for (;;) {
    if (used == out.size()) out.resize(std::max<std::size_t>(out.size() * 2, data.size() * 2 + 64));
    const std::size_t got = inflater.read(out.data() + used, out.size() - used);
    if (got == 0) break;
    used += got;
  }
  out.resize(used);
  return out;
}

}  // namespace verbix
