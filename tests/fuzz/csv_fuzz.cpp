// Fuzz target of the CSV dialect and the CSV dialogue reader: any text parses into rows that
// the dialect writes back to the same rows, and the rows are read or refused with a message.
#include <cstdint>
#include <string_view>

#include "data/dialogue_csv.h"
#include "quiet_window.h"
#include "utils/csv_dialect.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  verbix::fuzzing::QuietWindow window;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const verbix::CsvTable rows = verbix::csv_parse(text);
  if (verbix::csv_parse(verbix::csv_format(rows)) != rows) __builtin_trap();
  const verbix::DialogueRead read = verbix::csv_2_dat(rows, &window);
  if (!read.failed()) verbix::csv_2_dat(verbix::dat_2_csv(read.data, read.data, &window), &window);
  return 0;
}
