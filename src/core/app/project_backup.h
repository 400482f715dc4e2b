// The backup an update keeps of a project's files before it changes any of them: a folder of
// its own for every update, and copies that are complete or absent, never truncated.
#pragma once

#include <optional>
#include <string>

namespace verbix {

// Creates a new folder "backup_" + `p_stamp` in `p_project`, with "_2", "_3", ... appended
// while the name is taken, so that two updates in one second keep two backups. Returns its
// path, or nothing when no folder could be made (the error is logged).
std::optional<std::string> make_backup_folder(const std::string& p_project,
                                              const std::string& p_stamp);

// Copies `p_src` to `p_dst` (making missing folders) through a temporary file that is
// renamed when the copy is complete, and gives it the source's modification time. Returns
// nothing on success (the line "Copied file: " is logged), else the error text.
std::optional<std::string> back_up_file(const std::string& p_src, const std::string& p_dst);

}  // namespace verbix
