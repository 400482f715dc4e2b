// The byte streams between the codecs: a source that the pickle reader pulls bytes from (a
// file through zlib, or memory) and a sink that the pickle writer pushes bytes into.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace verbix {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Copies up to `n` bytes into `dst` and returns how many; 0 only at the end of the stream.
  // Throws DataError or OsError when the stream is broken.
  virtual std::size_t read(char* dst, std::size_t n) = 0;
};

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Takes the bytes (copied or consumed before returning).
  virtual void write(std::string_view data) = 0;
};

// Reads the source on to its end, discarding the bytes (so that a checksum at the end is
// verified); throws as the source's read does.
void read_to_end(ByteSource& source);

// A source over bytes in memory (which must outlive it).
class MemorySource : public ByteSource {
 public:
  explicit MemorySource(std::string_view data) : data_(data) {}
  std::size_t read(char* dst, std::size_t n) override;

 private:
  std::string_view data_;
};

// A sink that appends to a string.
class StringSink : public ByteSink {
 public:
  void write(std::string_view data) override { out.append(data); }
  std::string out;
};

}  // namespace verbix
