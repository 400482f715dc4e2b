// Fuzz target of the TXT dialogue reader: any text is read or refused with its message, and
// a record that was read is written and read again.
#include <cstdint>
#include <string_view>

#include "data/dialogue_txt.h"
#include "quiet_window.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  verbix::fuzzing::add_seed_sections();
  verbix::fuzzing::quiet_log();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  verbix::fuzzing::QuietInput input;
  verbix::fuzzing::QuietWindow& window = input.window;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const verbix::DialogueRead read = verbix::txt_2_dat(text, &window);
  if (read.failed()) return 0;
  const std::string again = verbix::dat_2_txt(read.data, &window);
  verbix::txt_2_dat(again, &window);
  return 0;
}
