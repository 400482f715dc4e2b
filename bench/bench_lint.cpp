// Times what the build checks add to Build: lint_translation on a translated project against
// its game, beside the Build steps around it (reading the project, comparing it with the game,
// compiling), all on the same records in one process. Prints one line of JSON with the
// medians in seconds and the problems found.
//
//   bench_lint prepare TRANSLATED.DAT FONT PROJECT_FOLDER   writes dialogue.txt and the font
//   bench_lint time GAME.DAT PROJECT_FOLDER RUNS OUT
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_timing.h"
#include "checks/lint.h"
#include "data/compare.h"
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

void learn_sections(const Value& p_record) {
  for (const auto& entry : p_record.as_map().at("sections").as_map())
    SECTIONS.push_back(entry.key());
}

int prepare(const std::string& p_translated, const std::string& p_font,
            const std::string& p_folder) {
  auto record = dat_load(p_translated);
  if (!record) return 1;
  learn_sections(*record);
  (*record)["fnt_face"] = "Lantern-Serif";
  fs::create_directories(fs_path(path_join(p_folder, "font")));
  if (txt_save(path_join(p_folder, "dialogue.txt"), dat_2_txt(*record)) != 0) return 1;
  write_file(path_join(p_folder, "font/lantern-serif.ttf"), read_file(p_font));
  return 0;
}

int time_build(const std::string& p_game, const std::string& p_folder, int p_runs,
               const std::string& p_out) {
  auto game = dat_load(p_game);
  if (!game) return 1;
  learn_sections(*game);
  DialogueRead project;
  const double read = median_seconds(p_runs, [&] {
    project = dir_2_dat(p_folder);
    if (project.failed()) std::exit(1);
  });
  const double compare = median_seconds(p_runs, [&] {
    if (!data_compare(project.data, *game)) std::exit(1);
  });
  LintReport report;
  const double lint =
      median_seconds(p_runs, [&] { report = lint_translation(project.data, project.meta, *game); });
  const double compile_s = median_seconds(p_runs, [&] {
    if (!compile(p_out, project.data, project.meta)) std::exit(1);
  });
  const double build = read + compare + compile_s;
  std::printf(
      "{\"read\": %.6f, \"compare\": %.6f, \"lint\": %.6f, \"compile\": %.6f, \"build\": %.6f, "
      "\"errors\": %zu, \"warnings\": %zu}\n",
      read, compare, lint, compile_s, build, report.errors, report.warnings);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  verbix::tune_allocator();                       // as the command line and the module do
  utils.console.write = [](std::string_view) {};  // log lines are not timed output
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 4 && args[0] == "prepare") return prepare(args[1], args[2], args[3]);
  if (args.size() == 5 && args[0] == "time")
    return time_build(args[1], args[2], std::max(1, std::stoi(args[3])), args[4]);
  std::fprintf(stderr,
               "usage: bench_lint prepare TRANSLATED.DAT FONT FOLDER | time GAME.DAT FOLDER RUNS "
               "OUT\n");
  return 2;
}
