// verbix-cli: the window's four workflows without a window, for batch work and the CI
// pipelines of translation teams. Each command loads the game's language data, runs the same
// workflow as its tab, prints the lines the log panel would show and writes the same log
// file. Exit status: 0 on success, 1 when the workflow failed or was not confirmed, 2 for a
// command line that does not parse.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "app/build_project.h"
#include "app/create_project.h"
#include "app/update_project.h"
#include "console_window.h"
#include "project/project_reader.h"
#include "session.h"
#include "utils/log_service.h"
#include "utils/paths.h"

#ifdef _WIN32
#include <windows.h>
// windows.h must come first.
#include <shellapi.h>
#endif

namespace verbix::cli {
namespace {

constexpr int kFailed = 1;
constexpr int kUsage = 2;

// What every command takes.
struct Common {
  std::string game;
  std::string log_dir;
  Answers answers;
};

void add_common(CLI::App* p_cmd, Common& p_common) {
  p_cmd->add_option("--game", p_common.game, "The game's language data file (lang.dat)")
      ->required();
  p_cmd->add_option("--log-dir", p_common.log_dir,
                    "Folder for the log file (default: the tool folder's logs folder)");
}

void add_yes(CLI::App* p_cmd, Common& p_common) {
  p_cmd->add_flag("-y,--yes", p_common.answers.yes,
                  "Answer Yes to the questions before overwriting or deleting (else No: stop)");
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

// Runs one command: the log set up, the game loaded, the workflow; then the exit status.
// `p_fallback` is the message for standard error when the workflow failed without one.
int run(const Common& p_common, const std::function<bool(const Value&, ConsoleWindow&)>& p_work,
        const std::function<std::string()>& p_fallback) {
  setup_log(p_common.log_dir);
  wait_for_free_log_name();
  ConsoleWindow window(p_common.answers);
  bool ok = false;
  if (std::optional<Value> game = load_game(p_common.game, window)) {
    utils.log_flush();  // as the window's start-up ends
    ok = p_work(*game, window);
  }
  // Lines after the workflow's last flush (a declined question) still reach the file.
  utils.log_flush();
  if (ok && !window.failed()) return 0;
  if (!window.failed()) {
    if (!window.declined().empty())
      print_error("Answered No without --yes: " + window.declined());
    else
      print_error(p_fallback());
  }
  return kFailed;
}

void no_folder(const std::string&) {}
void no_file_browser(const std::string&, const std::string&) {}

// "TXT" for a target whose name ends in anything but "csv" (any case), as the window's file
// choice sets the Update tab's format.
std::string format_of(const std::string& p_target) {
  std::string tail = p_target.size() >= 3 ? p_target.substr(p_target.size() - 3) : p_target;
  for (char& c : tail)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return tail == "CSV" ? "CSV" : "TXT";
}

int cli_main(int argc, char** argv) {
  CLI::App app{
      "verbix-cli: the translation tool's Create, Check, Update and Build without the window."};
  app.require_subcommand(1);
  app.footer(
      "Exit status: 0 success, 1 the workflow failed or a question was answered No, 2 usage.");

  Common common;
  std::string out, target, format, images, update_format;
  bool no_backup = false;
  std::function<int()> command;

  CLI::App* create =
      app.add_subcommand("create", "Make a new translation project folder from the game's data");
  add_common(create, common);
  create
      ->add_option("--out", out,
                   "The project folder to make (parents made as needed); an existing one is "
                   "replaced only with --yes")
      ->required();
  format = "TXT";
  create->add_option("--format", format, "TXT (dialogue.txt, the default) or CSV (dialogue.csv)")
      ->transform(CLI::IsMember({"TXT", "CSV"}, CLI::ignore_case));
  images = "NONE";
  create->add_option("--images", images, "NONE (the default) or PNG: also write the game's images")
      ->transform(CLI::IsMember({"NONE", "PNG"}, CLI::ignore_case));
  add_yes(create, common);
  create->callback([&] {
    command = [&] {
      return run(
          common,
          [&](const Value& game, ConsoleWindow& window) {
            const std::string project = full_path(out);
            if (path_exists(project) && !replaceable(project))
              return error("Not a translation project folder, left unchanged: " + project, false,
                           &window);
            CreateTools tools = create_tools();
            tools.open_folder = no_folder;
            return create_project(game,
                                  {.root_dir = path_dirname(project),
                                   .folder = path_basename(project),
                                   .layout = format,
                                   .images = images},
                                  &window, tools);
          },
          [&] { return "Failed to generate folder: " + full_path(out); });
    };
  });

  CLI::App* check = app.add_subcommand(
      "check", "Report what an update would change in a translation file; change nothing");
  add_common(check, common);
  check->add_option("--target", target, "The project's dialogue.txt or dialogue.csv")->required();
  check->callback([&] {
    command = [&] {
      return run(
          common,
          [&](const Value& game, ConsoleWindow& window) {
            // check_translation's banner, then its verify: the result tells whether the
            // translation could be read.
            info("---------------------------", &window);
            info(" CHECKING TRANSLATION FILE ", &window);
            info("---------------------------\n", &window);
            return verify(game, full_path(target), &window).has_value();
          },
          [&] { return "No data found: " + full_path(target); });
    };
  });

  CLI::App* update = app.add_subcommand(
      "update", "Bring a translation file up to date with the game's data and rewrite it");
  add_common(update, common);
  update->add_option("--target", target, "The project's dialogue.txt or dialogue.csv")->required();
  update
      ->add_option("--format", update_format,
                   "TXT or CSV: the form to write (default: the target's own form)")
      ->transform(CLI::IsMember({"TXT", "CSV"}, CLI::ignore_case));
  std::string policy = std::string(kReplaceMissing);
  update
      ->add_option("--images", policy,
                   "\"Replace All\", \"Replace Missing\" (the default) or \"Change Nothing\"")
      ->transform(CLI::IsMember(
          {std::string(kReplaceAll), std::string(kReplaceMissing), std::string(kChangeNothing)},
          CLI::ignore_case));
  update->add_flag("--no-backup", no_backup,
                   "Keep no copy of the old file and images in a backup_<timestamp> folder");
  add_yes(update, common);
  update->callback([&] {
    command = [&] {
      return run(
          common,
          [&](const Value& game, ConsoleWindow& window) {
            const std::string path = full_path(target);
            UpdateTools tools = update_tools();
            tools.open_folder = no_file_browser;
            return update_translation(
                       game,
                       {.target = path,
                        .format = update_format.empty() ? format_of(path) : update_format,
                        .images = policy,
                        .backup = !no_backup},
                       &window, tools)
                .has_value();
          },
          [&] { return "Failed to update " + full_path(target); });
    };
  });

  CLI::App* build = app.add_subcommand(
      "build", "Compile a translation project into the game's .cld language file");
  add_common(build, common);
  build->add_option("--target", target, "The project's dialogue.txt or dialogue.csv")->required();
  build->add_option("--out", out, "The existing folder the <language>.cld file is written to")
      ->required();
  add_yes(build, common);
  build->add_flag("--keep-going", common.answers.keep_going,
                  "Build even when the compiler counted errors (default: abort)");
  build->callback([&] {
    command = [&] {
      return run(
          common,
          [&](const Value& game, ConsoleWindow& window) {
            return build_translation(game, {.target = full_path(target), .output = full_path(out)},
                                     &window, BuildTools{no_file_browser});
          },
          [&] { return "Failed to build: " + full_path(target); });
    };
  });

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : kUsage;
  }
  return command ? command() : kUsage;
}

}  // namespace
}  // namespace verbix::cli

int main(int argc, char** argv) {
  try {
#ifdef _WIN32
    (void)argc;
    (void)argv;
    // The arguments as UTF-8 (the narrow ones are in the ANSI code page), and UTF-8 output.
    SetConsoleOutputCP(CP_UTF8);
    int wargc = 0;
    wchar_t** wargv = CommandLineToArgvW(GetCommandLineW(), &wargc);
    std::vector<std::string> args;
    for (int i = 0; i < wargc; ++i)
      args.push_back(verbix::path_text(std::filesystem::path(wargv[i])));
    LocalFree(wargv);
    std::vector<char*> ptrs;
    for (std::string& a : args) ptrs.push_back(a.data());
    ptrs.push_back(nullptr);
    return verbix::cli::cli_main(wargc, ptrs.data());
#else
    return verbix::cli::cli_main(argc, argv);
#endif
  } catch (const std::exception& e) {
    verbix::cli::print_error(std::string("verbix-cli: ") + e.what());
    return 1;
  }
}
