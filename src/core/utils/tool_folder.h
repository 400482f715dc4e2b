// The tool's own folder for its settings and logs, which the window and the command line
// share: "VosselTarnWimble/Tools/Translation Tool" under the user's application-data folder
// (%APPDATA%), or, on systems without one, under $XDG_CONFIG_HOME (or ~/.config).
#pragma once

#include <string>

namespace verbix {

// An environment variable as UTF-8 (on Windows through the wide environment, so that
// non-ASCII user folders arrive whole); empty when unset.
std::string environment_text(const char* p_name);

// The folder the tool's folder is made in: %APPDATA%; else an absolute $XDG_CONFIG_HOME;
// else ".config" in the home folder ($HOME, %USERPROFILE%, or the user's entry in the
// password database). Never fails; the folder may not exist yet.
std::string settings_base();

// The tool's folder itself, below settings_base(); it may not exist yet.
std::string tool_folder();

}  // namespace verbix
