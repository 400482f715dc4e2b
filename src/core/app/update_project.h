// The Check and Update workflows: an existing translation file (a project's dialogue.txt or
// dialogue.csv) brought up to date against the game's language data. Check reports what would
// change; Update also rewrites the file (optionally in the other form), keeps a backup on
// request and refreshes the project's images by a policy.
//
// Both take explicit inputs and report through the Window given (the window, the command
// line, a test recorder). Without a window, `info` lines go to the log only, no question is
// asked (the update goes on) and an error stop ends the process through the log's crash path.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "app/update_options.h"
#include "data/record_merge.h"
#include "data/value.h"
#include "utils/reporting.h"

namespace verbix {

// What the Update tab hands over.
struct UpdateRequest {
  std::string target;   // the translation file, absolute and normalised
  std::string format;   // "TXT" or "CSV" (any case): the form the file is written in
  std::string images;   // the image policy
  bool backup = false;  // copy the file and the project's images to "backup_" + timestamp
};

// What Update takes from outside its own steps: the image writer (0 on success), the file
// explorer (folder, file to select) and the timestamp of the backup folder. The defaults are
// save_image, open_dir and the log service's timestamp; tests put stand-ins in.
struct UpdateTools {
  std::function<int(const std::string& p_file, std::string_view p_bytes)> save_image;
  std::function<void(const std::string& p_dir, const std::string& p_file)> open_folder;
  std::function<std::string()> timestamp;
};
UpdateTools update_tools();

// The file an update of `p_target` in the form `p_format` ("TXT" or "CSV", any case) writes:
// the target itself when it already has that extension (any case), otherwise the target with
// its extension replaced ("dialogue.txt", "CSV" -> "dialogue.csv").
std::string update_output_path(const std::string& p_target, const std::string& p_format);

// Reads the translation file and merges it with `p_game`: replaced ids moved, every table
// given the game's keys in the game's order (the translation's non-empty texts kept, the rest
// from the game), the game's version stamp and dialogue sections; then reports every addition
// and removal at its line or row. The merged record, or nothing when the file gave no data
// ("No data found: ", log only) or its form is unknown ("Data type information missing.").
std::optional<Value> verify(const Value& p_game, const std::string& p_target, Window* p_app);

// The banner lines of a check, then verify, whose result it returns, then the project's
// statistics. With `p_json`, also the check's JSON document (review/check_json.h) there.
// Changes nothing on disk.
std::optional<Value> check_translation(const Value& p_game, const std::string& p_target,
                                       Window* p_app, std::string* p_json = nullptr);

// The banner lines of an update, then the update of the file named by the request: verify,
// backups, the new dialogue file (the old-form file deleted only once the new one is written),
// the images by the policy, empty image folders removed, the folder opened with the file
// selected. The merged record; nothing after an error stop (reported through `p_app`) or when
// the user answered No ("Canceled update."). An unknown format is refused before any change.
std::optional<Value> update_translation(const Value& p_game, const UpdateRequest& p_request,
                                        Window* p_app, const UpdateTools& p_tools = update_tools());

}  // namespace verbix
