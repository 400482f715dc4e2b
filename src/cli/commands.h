// The four commands of verbix-cli, each the workflow of one tab of the window run on the
// console: the log set up, the game's language data loaded, the workflow, the log flushed.
// Each returns the program's exit status: 0 on success; 1 after a failure (its message on
// standard error), a question answered No for want of --yes included.
#pragma once

#include <string>

#include "console_window.h"

namespace verbix::cli {

inline constexpr int kFailed = 1;

// The command line's values; which of them a command reads is listed with it.
struct CommandOptions {
  std::string game;     // the game's lang.dat
  std::string log_dir;  // the log folder; empty for the tool folder's "logs"
  Answers answers;
  std::string out;     // create: the project folder; build: the output folder
  std::string target;  // check, update, build: the project's dialogue file
  std::string format;  // create, update: "TXT" or "CSV"; update: empty follows target
  std::string images;  // create: "NONE" or "PNG"; update: the image policy
  bool backup = true;  // update

  std::string json;     // lint, check, stats: the file the JSON report goes to; empty for none
  bool strict = false;  // lint: warnings fail too
};

// The project folder `out` made as the Create tab makes it (its parent folder as the root,
// its name as the project's name). An existing folder is replaced only after a Yes, and only
// when it is empty or a project folder (holds a dialogue file).
int create_command(const CommandOptions& p_opt);

// The report of the Check button on `target`, and its JSON document in the file `json` when
// given. Fails when the file gives no data or the document cannot be written.
int check_command(const CommandOptions& p_opt);

// The statistics of the project of `target` against the game, and their JSON document in
// the file `json` when given. Fails when the file gives no data or the document cannot be
// written.
int stats_command(const CommandOptions& p_opt);

// The Update button on `target`, with `format`, the image policy `images` and `backup`.
int update_command(const CommandOptions& p_opt);

// The Build button: `target` compiled into the folder `out`. Stops when the build checks
// find errors unless --keep-going.
int build_command(const CommandOptions& p_opt);

// The build checks of the project of `target` against the game: every problem and the count
// line on standard output, and the JSON report in the file `json` when given. 0 when there
// are no errors (with `strict`, no problems at all); 1 otherwise, or when the game or the
// project does not load or the report cannot be written.
int lint_command(const CommandOptions& p_opt);

}  // namespace verbix::cli
