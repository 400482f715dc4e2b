// Times the dialogue formats on a lang.dat and prints one line of JSON per step:
// {"step", "seconds", "bytes"}, each the median of `runs` repetitions, with the floors of
// the same run: copying the output bytes, splitting the text into lines, writing and
// reading the CSV file's bytes, and hashing the keys that data_hash hashes.
//
//   bench_formats FILE RUNS OUT_FOLDER
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "bench_timing.h"
#include "data/compare.h"
#include "data/container.h"
#include "data/dialogue_csv.h"
#include "data/dialogue_txt.h"
#include "data/language_data.h"
#include "utils/file_helpers.h"
#include "utils/file_io.h"
#include "utils/log_service.h"
#include "utils/memory.h"

namespace {

using verbix::bench::median_seconds;

void report(const char* step, double seconds, size_t bytes) {
  std::printf("{\"step\": \"%s\", \"seconds\": %.6f, \"bytes\": %zu}\n", step, seconds, bytes);
}

size_t csv_bytes(const verbix::CsvTable& rows) { return verbix::csv_format(rows).size(); }

}  // namespace

int main(int argc, char** argv) {
  verbix::tune_allocator();  // as the command line and the module do
  if (argc != 4) {
    std::fprintf(stderr, "usage: bench_formats FILE RUNS OUT_FOLDER\n");
    return 2;
  }
  using namespace verbix;
  utils.console.write = [](std::string_view) {};  // the steps' log lines are not timed output
  const int runs = std::max(1, std::atoi(argv[2]));
  const std::string out = argv[3];
  const auto record = dat_load(argv[1]);
  if (!record) return 1;
  for (const auto& entry : record->as_map().at("sections").as_map())
    SECTIONS.push_back(entry.key());

  std::string text;
  const double write_txt = median_seconds(runs, [&] { text = dat_2_txt(*record); });
  report("dat_2_txt", write_txt, text.size());
  std::string copy;
  report("floor: copy text",
         median_seconds(runs, [&] { copy = std::string(text.data(), text.size()); }), text.size());
  report("txt_2_dat", median_seconds(runs, [&] { (void)txt_2_dat(text); }), text.size());
  report("floor: split text into lines",
         median_seconds(runs,
                        [&] {
                          std::vector<std::string_view> lines;
                          std::string_view rest(text);
                          for (size_t nl; (nl = rest.find('\n')) != std::string_view::npos;
                               rest.remove_prefix(nl + 1))
                            lines.push_back(rest.substr(0, nl));
                        }),
         text.size());

  CsvTable rows;
  const double write_csv = median_seconds(runs, [&] { rows = dat_2_csv(*record); });
  report("dat_2_csv", write_csv, csv_bytes(rows));
  const std::string csv_text = csv_format(rows);
  report("floor: copy csv bytes",
         median_seconds(runs, [&] { copy = std::string(csv_text.data(), csv_text.size()); }),
         csv_text.size());
  const std::string csv_path = out + "/dialogue.csv";
  report("csv round trip (save, load, csv_2_dat)",
         median_seconds(runs,
                        [&] {
                          csv_save(csv_path, rows);
                          (void)csv_2_dat(*csv_load(csv_path));
                        }),
         csv_bytes(rows));
  report("csv_load", median_seconds(runs, [&] { (void)csv_load(csv_path); }), csv_bytes(rows));
  const std::string bytes = read_file(csv_path);
  report("floor: write and read the csv bytes",
         median_seconds(runs,
                        [&] {
                          write_file(out + "/copy.csv", bytes);
                          (void)read_file(out + "/copy.csv");
                        }),
         bytes.size());
  // data_hash sorts the record's keys and hashes them joined; its floor hashes the same
  // bytes, joined in map order.
  std::string content_keys, image_keys;
  for (const auto& [key, table] : record->as_map()) {
    if (key == "sections" || !table.is_map()) continue;
    std::string& into = key.find("img") != std::string::npos ? image_keys : content_keys;
    for (const auto& entry : table.as_map()) into += entry.key();
  }
  const std::size_t hashed = content_keys.size() + image_keys.size();
  std::string hash;
  report("data_hash", median_seconds(runs, [&] { hash = data_hash(*record); }), hashed);
  report("floor: sha256 of the keys",
         median_seconds(runs,
                        [&] { hash = hash_string(content_keys, 16) + hash_string(image_keys, 4); }),
         hashed);
  std::printf("{\"step\": \"csv_path\", \"seconds\": 0, \"bytes\": 0, \"path\": \"%s\"}\n",
              csv_path.c_str());
  return 0;
}
