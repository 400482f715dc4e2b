// The temporary files the tool writes beside a file it replaces or copies: one name pattern
// ("<file>.tmp-verbix-<6 digits>"), so that a run after an interruption (a crash, a kill, a
// power cut) can find its own leftovers and remove them, and never anybody else's files.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace verbix {

// A fresh temporary name beside `p_path`.
std::string temp_name_for(std::string_view p_path);

// Whether a file name (without folder) has the pattern of the tool's temporary files.
bool is_temp_name(std::string_view p_name);

// Removes the tool's leftover temporary files in `p_folder`, and in its subfolders when
// `p_recursive` (links are not followed). Returns how many were removed; each removal is
// logged, and a file that cannot be removed is logged and left.
size_t remove_leftover_temps(std::string_view p_folder, bool p_recursive);

}  // namespace verbix
