// Fuzz target of the pickle reader: any input is refused with DataError or read into a tree,
// and a tree that was read is written and read back to the same stream (a fixed point, which
// also holds for NaN and for shared payloads).
#include <cstdint>
#include <string>
#include <string_view>

#include "data/pickle.h"
#include "utils/data_error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  verbix::Value value;
  try {
    value = verbix::pickle_load(input);
  } catch (const verbix::DataError&) {
    return 0;
  }
  const std::string written = verbix::pickle_dump(value);
  const std::string again = verbix::pickle_dump(verbix::pickle_load(written));
  if (again != written) __builtin_trap();
  return 0;
}
