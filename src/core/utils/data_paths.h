// Names taken from data (a language name, an image key) that become paths. Every such name
// is checked here before it touches the disk, so that none can cut a path short (a NUL
// byte), fail on Windows alone (a character or device name Windows forbids), or lead out of
// the folder it was meant for (a separator where none belongs, "..", an absolute path, a
// drive or stream colon).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace verbix {

// Why `p_name` cannot be one file name inside a folder, as a phrase that completes "it ..."
// ("holds a NUL byte"); nothing when it can.
std::optional<std::string> file_name_fault(std::string_view p_name);

// Why `p_key` cannot be a path below a folder, its parts split at "/" or "\" (each part
// checked as a file name; empty and "." parts allowed); nothing when it can.
std::optional<std::string> relative_path_fault(std::string_view p_key);

// Whether the fault leads out of the folder ("..", an absolute path, a drive or stream colon)
// rather than making an unusable name.
bool fault_leaves_folder(std::string_view p_fault);

// `p_name` as a message shows it: control characters as \xNN escapes.
std::string shown_name(std::string_view p_name);

}  // namespace verbix
