// Fuzz target of the CSV dialect and the CSV dialogue reader: any text is refused with
// DataError or parses into rows that the dialect writes back to the same rows, and the rows
// are read or refused with a message, the same when read from the text one row at a time. The
// same rows read as review.csv give rows that write and read back unchanged.
#include <cstdint>
#include <string_view>

#include "data/dialogue_csv.h"
#include "quiet_window.h"
#include "review/review_list.h"
#include "utils/csv_dialect.h"
#include "utils/data_error.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  verbix::fuzzing::quiet_log();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  verbix::fuzzing::QuietInput input;
  verbix::fuzzing::QuietWindow& window = input.window;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  verbix::CsvTable rows;
  try {
    rows = verbix::csv_parse(text);
  } catch (const verbix::DataError&) {
    return 0;  // an unclosed quote or a row too wide: refused, as csv_load reports it
  }
  if (verbix::csv_parse(verbix::csv_format(rows)) != rows) __builtin_trap();
  const std::vector<verbix::ReviewRow> review = verbix::review_rows(rows);
  const std::vector<verbix::ReviewRow> again = verbix::review_rows(verbix::review_table(review));
  if (again.size() != review.size()) __builtin_trap();
  for (std::size_t i = 0; i < review.size(); ++i)
    if (again[i].id != review[i].id || again[i].position != review[i].position ||
        again[i].translation != review[i].translation)
      __builtin_trap();
  const verbix::DialogueRead read = verbix::csv_2_dat(rows, &window);
  // Read from the text one row at a time, the same record and positions.
  const verbix::DialogueRead streamed = verbix::csv_2_dat(text, ',', &window);
  if (!(streamed.data == read.data) || !(streamed.meta.to_value() == read.meta.to_value()))
    __builtin_trap();
  if (!read.failed()) verbix::csv_2_dat(verbix::dat_2_csv(read.data, read.data, &window), &window);
  return 0;
}
