// The Build workflow: a translation project read from its dialogue file, checked against the
// game's record, stripped of images the game does not know and compiled into the language
// file "<language name>.cld" in the output folder. Progress and errors go through the window
// given; every stop is an error box there and leaves the output folder untouched.
#pragma once

#include <functional>
#include <string>

#include "data/value.h"
#include "utils/reporting.h"

namespace verbix {

// What the Build tab hands over: absolute, normalised paths.
struct BuildRequest {
  std::string target;  // the project's dialogue file; empty when none was chosen
  std::string output;  // the folder the language file goes to
};

// The file explorer, opened on the built file's folder with the file selected; tests and the
// command line put stand-ins in.
struct BuildTools {
  std::function<void(const std::string& p_dir, const std::string& p_file)> open_folder;
};
BuildTools build_tools();

// Builds the project against the game's record `p_game`. True when the language file was
// written; false after an error stop or when the user declined to overwrite an existing
// file or to build despite the checks' errors ("Canceling build..."). Without a window no
// question is asked: an existing file is replaced and the checks' errors are only listed.
bool build_translation(const Value& p_game, const BuildRequest& p_request, Window* p_app,
                       const BuildTools& p_tools = build_tools());

}  // namespace verbix
