// Fuzz target of the container file's reader (zlib stream, then pickle) and of the blob
// text decoders: any input is refused with DataError or decoded, never more.
#include <cstdint>
#include <string>
#include <string_view>

#include "data/base64.h"
#include "data/container.h"
#include "data/zlib_codec.h"
#include "utils/data_error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  try {
    const verbix::Value record = verbix::container_decode(input);
    if (verbix::container_decode(verbix::container_encode(record)).kind() != record.kind())
      __builtin_trap();
  } catch (const verbix::DataError&) {
  }
  try {
    const std::string bytes = verbix::base64_decode(input);
    verbix::zlib_decompress(bytes, std::size_t{1} << 24);
  } catch (const verbix::DataError&) {
  }
  return 0;
}
