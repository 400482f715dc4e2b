// Writes the seeds of the dialogue fuzz targets with the tool's own writers: the record of a
// container file (the tiny game, from make_seeds.py) as TXT and CSV text, and as project
// inputs (a first byte picking the form, then the file).
//   seed_writer CONTAINER CORPUS
#include <cstdio>
#include <string>

#include "data/container.h"
#include "data/dialogue_csv.h"
#include "data/dialogue_txt.h"
#include "utils/csv_dialect.h"
#include "utils/file_io.h"
#include "utils/paths.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: seed_writer CONTAINER CORPUS\n");
    return 2;
  }
  using namespace verbix;
  const Value record = container_decode(read_file(argv[1]));
  const std::string corpus = argv[2];
  const std::string txt = dat_2_txt(record);
  const std::string csv = csv_format(dat_2_csv(record));
  const std::string translated_csv = csv_format(dat_2_csv(record, record));
  write_file(path_join(corpus, "txt/tiny.txt"), txt);
  write_file(path_join(corpus, "csv/tiny.csv"), csv);
  write_file(path_join(corpus, "csv/tiny_translated.csv"), translated_csv);
  write_file(path_join(corpus, "project/tiny_txt"), "T" + txt);  // "T" is even: TXT
  write_file(path_join(corpus, "project/tiny_csv"), "C" + csv);  // "C" is odd: CSV
  std::printf("seeds: txt %zu B, csv %zu B\n", txt.size(), csv.size());
  return 0;
}
