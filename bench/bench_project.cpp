// Times reading a translation project and compiling its language file, and the floor of the
// same work: reading the dialogue file and every image file, and writing a file of the
// output's size. Each mode prints one line of JSON {"step", "seconds", "bytes", "peak_rss"},
// the median of `runs` repetitions, with the process's peak resident memory in bytes; run
// each mode in its own process so that its peak is its own.
//
//   bench_project prepare LANG.DAT PROJECT_FOLDER   writes dialogue.txt, images, a font and
//                                                   the section list PROJECT_FOLDER.sections
//   bench_project build PROJECT_FOLDER RUNS OUT     dir_2_dat + compile into OUT
//   bench_project floor PROJECT_FOLDER RUNS OUT BYTES
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bench_timing.h"
#include "data/container.h"
#include "data/dialogue_txt.h"
#include "data/language_data.h"
#include "project/compiler.h"
#include "project/project_reader.h"
#include "utils/file_helpers.h"
#include "utils/file_io.h"
#include "utils/log_service.h"
#include "utils/memory.h"
#include "utils/paths.h"

namespace {

using namespace verbix;
using bench::median_seconds;
namespace fs = std::filesystem;

void report(const char* step, double seconds, size_t bytes) {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("{\"step\": \"%s\", \"seconds\": %.6f, \"bytes\": %zu, \"peak_rss\": %ld}\n", step,
              seconds, bytes, usage.ru_maxrss * 1024L);
}

int prepare(const std::string& lang_dat, const std::string& folder) {
  auto record = dat_load(lang_dat);
  if (!record) return 1;
  std::string tags;
  for (const auto& entry : record->as_map().at("sections").as_map()) {
    SECTIONS.push_back(entry.key());
    tags += entry.key() + "\n";
  }
  write_file(folder + ".sections", tags);
  (*record)["fnt_face"] = "Lantern-Serif";
  if (txt_save(path_join(folder, "dialogue.txt"), dat_2_txt(*record)) != 0) return 1;
  fs::create_directories(fs_path(path_join(folder, "font")));
  write_file(path_join(folder, "font/lantern-serif.ttf"), std::string(200'000, 'f'));
  size_t total = 0;
  for (const auto& [key, bytes] : record->as_map().at("img_data").as_map()) {
    const std::string path = path_join(folder, key + ".png");
    fs::create_directories(fs_path(path_dirname(path)));
    write_file(path, bytes.as_bytes());
    total += bytes.size();
  }
  std::printf("{\"step\": \"prepare\", \"seconds\": 0, \"bytes\": %zu, \"peak_rss\": 0}\n", total);
  return 0;
}

int build(const std::string& folder, int runs, const std::string& out) {
  // The window learns the dialogue sections from the game's data at start-up; here they come
  // from the list that prepare wrote beside the project.
  const std::string tags = read_file(folder + ".sections");
  for (size_t start = 0, end; (end = tags.find('\n', start)) != std::string::npos; start = end + 1)
    SECTIONS.push_back(tags.substr(start, end - start));
  size_t bytes = 0;
  const double seconds = median_seconds(runs, [&] {
    DialogueRead read = dir_2_dat(folder);
    if (read.failed() || !compile(out, read.data, read.meta)) std::exit(1);
    bytes = static_cast<size_t>(fs::file_size(fs_path(out)));
  });
  report("read and compile", seconds, bytes);
  return 0;
}

int floor_run(const std::string& folder, int runs, const std::string& out, size_t out_bytes) {
  std::vector<std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(fs_path(folder)))
    if (e.is_regular_file()) files.push_back(path_text(e.path()));
  const double seconds = median_seconds(runs, [&] {
    size_t read = 0;
    for (const std::string& f : files) read += read_file(f).size();
    write_file_replacing(out, std::string(out_bytes + (read == 0), 'x'));
  });
  report("floor: read the project, write the output's bytes", seconds, out_bytes);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  verbix::tune_allocator();                       // as the command line and the module do
  utils.console.write = [](std::string_view) {};  // log lines are not timed output
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 3 && args[0] == "prepare") return prepare(args[1], args[2]);
  if (args.size() == 4 && args[0] == "build")
    return build(args[1], std::max(1, std::stoi(args[2])), args[3]);
  if (args.size() == 5 && args[0] == "floor")
    return floor_run(args[1], std::max(1, std::stoi(args[2])), args[3], std::stoull(args[4]));
  std::fprintf(stderr,
               "usage: bench_project prepare LANG.DAT FOLDER | build FOLDER RUNS OUT | "
               "floor FOLDER RUNS OUT BYTES\n");
  return 2;
}
