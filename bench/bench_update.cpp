// Times Check and Update on a project of one game version against the next, in both forms,
// each beside its floor measured in the same run: reading the same file and writing the same
// bytes (the dialogue text, and for Replace All the images). Prints one JSON line per step
// and the peak memory. Driven by bench_update.py.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/project_images.h"
#include "app/update_project.h"
#include "bench_timing.h"
#include "data/container.h"
#include "data/dialogue_csv.h"
#include "data/dialogue_txt.h"
#include "data/language_data.h"
#include "project/project_reader.h"
#include "utils/file_helpers.h"
#include "utils/file_io.h"
#include "utils/log_service.h"
#include "utils/memory.h"
#include "utils/paths.h"

namespace {

using namespace verbix;
using bench::median_seconds;

void report(const std::string& step, double seconds, double floor) {
  std::printf("{\"step\": \"%s\", \"seconds\": %.4f, \"floor\": %.4f}\n", step.c_str(), seconds,
              floor);
  std::fflush(stdout);
}

long peak_mb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

}  // namespace

int main(int argc, char** argv) {
  verbix::tune_allocator();  // as the command line and the module do
  if (argc != 5) {
    std::fprintf(stderr, "usage: bench_update OLD_DAT NEW_DAT RUNS OUT_FOLDER\n");
    return 2;
  }
  utils.console.write = [](std::string_view) {};  // the report's lines are not timed output
  const int runs = std::max(1, std::atoi(argv[3]));
  const std::string out = argv[4];
  const auto old_rec = dat_load(argv[1]);
  const auto new_rec = dat_load(argv[2]);
  if (!old_rec || !new_rec) return 1;
  for (const Value* rec : {&*old_rec, &*new_rec})
    for (const auto& entry : rec->as_map().at("sections").as_map())
      if (std::find(SECTIONS.begin(), SECTIONS.end(), entry.key()) == SECTIONS.end())
        SECTIONS.push_back(entry.key());
  std::printf("{\"peak_mb_loaded\": %ld}\n", peak_mb());

  UpdateTools tools = update_tools();
  tools.open_folder = [](const std::string&, const std::string&) {};
  for (const std::string form : {"TXT", "CSV"}) {
    const std::string dir = path_join(out, form);
    const std::string path = path_join(dir, form == "TXT" ? "dialogue.txt" : "dialogue.csv");
    const std::string original =
        form == "TXT" ? dat_2_txt(*old_rec) : csv_format(dat_2_csv(*old_rec));
    auto restore = [&] {
      ensure_dir(path);
      write_file(path, original);
    };
    auto nothing = [] {};
    // The floor: read and parse the same file, produce and write the same form's bytes.
    auto floor_once = [&] {
      const DialogueRead read = dlg_data(path);
      if (form == "TXT")
        txt_save(path, dat_2_txt(read.data));
      else
        csv_save(path, dat_2_csv(*new_rec, read.data));
    };
    const double floor = median_seconds(runs, restore, floor_once);
    restore();
    report("check " + form,
           median_seconds(runs, nothing, [&] { check_translation(*new_rec, path, nullptr); }),
           floor);
    report(
        "update " + form + " (Change Nothing)",
        median_seconds(
            runs, restore,
            [&] {
              update_translation(*new_rec, {path, form, "Change Nothing", false}, nullptr, tools);
            }),
        floor);
    const Map& images = new_rec->as_map().at("img_data").as_map();
    const double image_floor = median_seconds(runs, restore, [&] {
      floor_once();
      for (const auto& [key, bytes] : images)
        save_image(path_join(dir, key + ".png"), bytes.as_bytes());
    });
    report("update " + form + " (Replace All)",
           median_seconds(
               runs, restore,
               [&] {
                 update_translation(*new_rec, {path, form, "Replace All", false}, nullptr, tools);
               }),
           image_floor);
  }
  std::printf("{\"peak_mb\": %ld}\n", peak_mb());
  return 0;
}
