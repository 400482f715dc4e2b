// verbix-cli: the window's four workflows without a window, for batch work and the CI
// pipelines of translation teams. Each command loads the game's language data, runs the same
// workflow as its tab, prints the lines the log panel would show and writes the same log
// file. Exit status: 0 on success, 1 when the workflow failed or was not confirmed, 2 for a
// command line that does not parse.
#include <CLI/CLI.hpp>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "app/update_project.h"
#include "commands.h"
#include "console_window.h"
#include "utils/memory.h"
#include "utils/paths.h"

#ifdef _WIN32
#include <windows.h>
// windows.h must come first.
#include <shellapi.h>
#endif

namespace verbix::cli {
namespace {

constexpr int kUsage = 2;

// The options every command has, so that scripts can pass the same ones to each: the game's
// data, the log folder and the answer to questions (a command that asks none ignores it).
void add_common(CLI::App* p_cmd, CommandOptions& p_opt) {
  p_cmd->add_option("--game", p_opt.game, "The game's language data file (lang.dat)")->required();
  p_cmd->add_option("--log-dir", p_opt.log_dir,
                    "Folder for the log file (default: the tool folder's logs folder)");
  p_cmd->add_flag("-y,--yes", p_opt.answers.yes,
                  "Answer Yes to the questions before overwriting or deleting (else No: stop)");
}

void add_target(CLI::App* p_cmd, CommandOptions& p_opt) {
  p_cmd->add_option("--target", p_opt.target, "The project's dialogue.txt or dialogue.csv")
      ->required();
}

CLI::App* add_create(CLI::App& p_app, CommandOptions& p_opt) {
  CLI::App* cmd =
      p_app.add_subcommand("create", "Make a new translation project folder from the game's data");
  add_common(cmd, p_opt);
  cmd->add_option("--out", p_opt.out,
                  "The project folder to make (parents made as needed); an existing project "
                  "folder is replaced only with --yes")
      ->required();
  p_opt.format = "TXT";
  cmd->add_option("--format", p_opt.format, "TXT (dialogue.txt, the default) or CSV (dialogue.csv)")
      ->transform(CLI::IsMember({"TXT", "CSV"}, CLI::ignore_case));
  p_opt.images = "NONE";
  cmd->add_option("--images", p_opt.images,
                  "NONE (the default) or PNG: also write the game's images")
      ->transform(CLI::IsMember({"NONE", "PNG"}, CLI::ignore_case));
  return cmd;
}

CLI::App* add_check(CLI::App& p_app, CommandOptions& p_opt) {
  CLI::App* cmd = p_app.add_subcommand(
      "check", "Report what an update would change in a translation file; change nothing");
  add_common(cmd, p_opt);
  add_target(cmd, p_opt);
  cmd->add_option("--json", p_opt.json, "Also write the findings as JSON to this file");
  return cmd;
}

CLI::App* add_stats(CLI::App& p_app, CommandOptions& p_opt) {
  CLI::App* cmd = p_app.add_subcommand(
      "stats", "Count the translated, untranslated and to-review texts and images of a project");
  add_common(cmd, p_opt);
  add_target(cmd, p_opt);
  cmd->add_option("--json", p_opt.json, "Also write the counts as JSON to this file");
  return cmd;
}

CLI::App* add_update(CLI::App& p_app, CommandOptions& p_opt) {
  CLI::App* cmd = p_app.add_subcommand(
      "update", "Bring a translation file up to date with the game's data and rewrite it");
  add_common(cmd, p_opt);
  add_target(cmd, p_opt);
  cmd->add_option("--format", p_opt.format,
                  "TXT or CSV: the form to write (default: the target's own form)")
      ->transform(CLI::IsMember({"TXT", "CSV"}, CLI::ignore_case));
  p_opt.images = std::string(kReplaceMissing);
  cmd->add_option("--images", p_opt.images,
                  "\"Replace All\", \"Replace Missing\" (the default), \"Change Nothing\" or "
                  "\"Replace Untranslated\" (all but the images the translator changed)")
      ->transform(CLI::IsMember(std::vector<std::string>(OPT_CHANGE.begin(), OPT_CHANGE.end()),
                                CLI::ignore_case));
  bool* backup = &p_opt.backup;
  cmd->add_flag_callback(
      "--no-backup", [backup] { *backup = false; },
      "Keep no copy of the old file and images in a backup_<timestamp> folder");
  return cmd;
}

CLI::App* add_build(CLI::App& p_app, CommandOptions& p_opt) {
  CLI::App* cmd = p_app.add_subcommand(
      "build", "Compile a translation project into the game's .cld language file");
  add_common(cmd, p_opt);
  add_target(cmd, p_opt);
  cmd->add_option("--out", p_opt.out, "The existing folder the <language>.cld file is written to")
      ->required();
  cmd->add_flag("--keep-going", p_opt.answers.keep_going,
                "Build even when the compiler counted errors or the build checks found errors "
                "(default: abort)");
  return cmd;
}

CLI::App* add_lint(CLI::App& p_app, CommandOptions& p_opt) {
  CLI::App* cmd = p_app.add_subcommand(
      "lint",
      "Run the build checks (placeholders, glyphs, spreadsheet damage, white space, "
      "menu keys, empty texts) on a translation project; change nothing");
  add_common(cmd, p_opt);
  add_target(cmd, p_opt);
  cmd->add_option("--json", p_opt.json, "Also write the problems as JSON to this file");
  cmd->add_flag("--strict", p_opt.strict, "Fail on warnings too (default: on errors only)");
  return cmd;
}

int cli_main(int argc, char** argv) {
  CLI::App app{
      "verbix-cli: the translation tool's Create, Check, Update and Build without the window, "
      "and the build checks (lint)."};
  app.require_subcommand(1);
  app.footer(
      "Exit status: 0 success, 1 the workflow failed or a question was answered No, 2 usage.");
  CommandOptions create_opt, check_opt, update_opt, build_opt, lint_opt, stats_opt;
  CLI::App* create = add_create(app, create_opt);
  CLI::App* check = add_check(app, check_opt);
  CLI::App* update = add_update(app, update_opt);
  CLI::App* build = add_build(app, build_opt);
  CLI::App* lint = add_lint(app, lint_opt);
  CLI::App* stats = add_stats(app, stats_opt);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : kUsage;
  }
  if (create->parsed()) return create_command(create_opt);
  if (check->parsed()) return check_command(check_opt);
  if (update->parsed()) return update_command(update_opt);
  if (build->parsed()) return build_command(build_opt);
  if (lint->parsed()) return lint_command(lint_opt);
  if (stats->parsed()) return stats_command(stats_opt);
  return kUsage;
}

}  // namespace
}  // namespace verbix::cli

int main(int argc, char** argv) {
  verbix::tune_allocator();
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
  } catch (const std::bad_alloc&) {
    // Outside a workflow (which reports it in the log as well): said plainly all the same.
    verbix::cli::print_error(std::string(verbix::kOutOfMemory));
    return verbix::cli::kFailed;
  } catch (const std::exception& e) {
    verbix::cli::print_error(std::string("verbix-cli: ") + e.what());
    return verbix::cli::kFailed;
  }
}
