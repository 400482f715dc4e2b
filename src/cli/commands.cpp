#include "commands.h"

#include <filesystem>
#include <functional>
#include <new>
#include <optional>
#include <system_error>

#include "app/build_project.h"
#include "app/create_project.h"
#include "app/update_project.h"
#include "checks/lint.h"
#include "checks/lint_report.h"
#include "project/project_reader.h"
#include "review/baseline.h"
#include "review/statistics.h"
#include "session.h"
#include "text/text_form.h"
#include "utils/file_io.h"
#include "utils/log_service.h"
#include "utils/memory.h"
#include "utils/os_error.h"
#include "utils/paths.h"

namespace verbix::cli {
namespace {

using Workflow = std::function<bool(const Value& p_game, ConsoleWindow& p_window)>;

// Runs one workflow on the game's data and turns its outcome into the exit status.
// `p_fallback` is the message for standard error when the workflow failed without one.
int run(const CommandOptions& p_opt, const Workflow& p_work, const std::string& p_fallback) {
  setup_log(p_opt.log_dir);
  ConsoleWindow window(p_opt.answers);
  bool ok = false;
  if (std::optional<Value> game = load_game(p_opt.game, window)) {
    utils.log_flush();  // as the window's start-up ends
    try {
      ok = p_work(*game, window);
    } catch (const std::bad_alloc&) {
      ok = error(std::string(kOutOfMemory), false, &window);
    }
  }
  // Lines after the workflow's last flush (a declined question) still reach the file.
  utils.log_flush();
  if (ok && !window.failed()) return 0;
  if (!window.failed() && !window.declined()) print_error(p_fallback);
  return kFailed;
}

// Whether replacing the folder at `p_path` can lose nothing but a translation project: an
// empty folder, or one holding a dialogue file. Guards --yes against a mistyped --out such
// as a home folder.
bool replaceable(const std::string& p_path) {
  if (!is_directory(p_path)) return false;
  if (!dlg_file(p_path).empty()) return true;
  std::error_code ec;
  return std::filesystem::is_empty(fs_path(p_path), ec) && !ec;
}

// Writes a JSON report to `p_file` (replacing it whole); false after saying why it failed.
bool write_report(const std::string& p_file, const std::string& p_json, ConsoleWindow& p_window) {
  try {
    write_file_replacing(full_path(p_file), p_json);
    return true;
  } catch (const OsError& e) {
    return error("Failed to write the report: " + std::string(e.what()), false, &p_window);
  }
}

// The console opens no file browser.
void no_folder(const std::string&) {}
void no_file_browser(const std::string&, const std::string&) {}

}  // namespace

int create_command(const CommandOptions& p_opt) {
  const std::string project = full_path(p_opt.out);
  return run(
      p_opt,
      [&](const Value& game, ConsoleWindow& window) {
        if (path_exists(project) && !replaceable(project))
          return error("Not a translation project folder, left unchanged: " + project, false,
                       &window);
        CreateTools tools = create_tools();
        tools.open_folder = no_folder;
        return create_project(game,
                              {.root_dir = path_dirname(project),
                               .folder = path_basename(project),
                               .layout = p_opt.format,
                               .images = p_opt.images},
                              &window, tools);
      },
      "Failed to generate folder: " + project);
}

int check_command(const CommandOptions& p_opt) {
  const std::string target = full_path(p_opt.target);
  return run(
      p_opt,
      [&](const Value& game, ConsoleWindow& window) {
        std::string json;
        if (!check_translation(game, target, &window, p_opt.json.empty() ? nullptr : &json))
          return false;
        return p_opt.json.empty() || write_report(p_opt.json, json, window);
      },
      "No data found: " + target);
}

int stats_command(const CommandOptions& p_opt) {
  const std::string target = full_path(p_opt.target);
  return run(
      p_opt,
      [&](const Value& game, ConsoleWindow& window) {
        if (!path_exists(target))
          return error("Target translation file missing: " + target, false, &window);
        const DialogueRead project = dlg_data(target, &window);
        if (project.failed()) return error("Unable to load data from: " + target, false, &window);
        const Statistics stats = project_statistics(game, project.data, path_dirname(target),
                                                    load_baseline(target, project.meta.format()));
        report_statistics(stats, &window);
        return p_opt.json.empty() || write_report(p_opt.json, statistics_json(stats), window);
      },
      "Failed to count: " + target);
}

int update_command(const CommandOptions& p_opt) {
  const std::string target = full_path(p_opt.target);
  return run(
      p_opt,
      [&](const Value& game, ConsoleWindow& window) {
        UpdateTools tools = update_tools();
        tools.open_folder = no_file_browser;
        const UpdateRequest request{
            .target = target,
            .format = p_opt.format.empty() ? format_of_file(target) : p_opt.format,
            .images = p_opt.images,
            .backup = p_opt.backup};
        return update_translation(game, request, &window, tools).has_value();
      },
      "Failed to update " + target);
}

int build_command(const CommandOptions& p_opt) {
  const std::string target = full_path(p_opt.target);
  return run(
      p_opt,
      [&](const Value& game, ConsoleWindow& window) {
        return build_translation(game, {.target = target, .output = full_path(p_opt.out)}, &window,
                                 BuildTools{no_file_browser});
      },
      "Failed to build: " + target);
}

int lint_command(const CommandOptions& p_opt) {
  const std::string target = full_path(p_opt.target);
  bool clean = false;
  const int status = run(
      p_opt,
      [&](const Value& game, ConsoleWindow& window) {
        if (!path_exists(target))
          return error("Target translation file missing: " + target, false, &window);
        DialogueRead project = dlg_2_dat(target, &window);
        if (project.failed()) return error("Unable to load data from: " + target, false, &window);
        const LintReport report = lint_translation(project.data, project.meta, game);
        for (const Problem& problem : report.problems)
          info(problem_line(problem, report.place_word), &window);
        info(count_line(report), &window);
        if (!p_opt.json.empty()) {
          const std::string json_path = full_path(p_opt.json);
          try {
            write_file_replacing(json_path, report_json(report));
          } catch (const OsError& e) {
            return error("Failed to write the report: " + std::string(e.what()), false, &window);
          }
        }
        clean = report.errors == 0 && (!p_opt.strict || report.warnings == 0);
        return true;
      },
      "Failed to check: " + target);
  return status == 0 && !clean ? kFailed : status;
}

}  // namespace verbix::cli
