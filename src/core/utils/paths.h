// Path texts. Paths travel through the tool as UTF-8 strings; these helpers make them
// absolute and normalised the way the tool shows them (backslashes on Windows, slashes
// elsewhere), split off extensions, and turn them into std::filesystem paths without losing
// non-ASCII characters on Windows.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace verbix {

#ifdef _WIN32
inline constexpr char kPathSep = '\\';
#else
inline constexpr char kPathSep = '/';
#endif

// The filesystem path of a UTF-8 path text, and back.
std::filesystem::path fs_path(std::string_view utf8);
std::string path_text(const std::filesystem::path& path);

// Lexical normalisation: "." parts, ".." parts and doubled separators removed; an empty
// path gives ".". The two flavours are exposed so both can be tested on any platform.
std::string normpath_posix(std::string_view path);
std::string normpath_windows(std::string_view path);
std::string normpath(std::string_view path);

// `path` made absolute against the working folder and normalised. Nothing is checked on disk.
std::string full_path(std::string_view path);

// `a` and `b` joined with one separator; `b` absolute replaces `a`; an empty `b` leaves
// `a` ending in a separator. On Windows a rooted `b` keeps `a`'s drive, a `b` on another
// drive replaces `a`, and a bare drive takes no separator ("C:" and "x" give "C:x").
std::string path_join(std::string_view a, std::string_view b);

// The extension of the last component, dot included: the part from its last dot on, where
// dots at the very start of the component do not count ("a.b" -> ".b", "a." -> ".",
// ".rc" -> "", "dir.d/x" -> "").
std::string path_extension(std::string_view path);

// The last component and everything before it (without the separator between them).
std::string path_basename(std::string_view path);
std::string path_dirname(std::string_view path);

// Whether anything (file, folder, link target) exists at the path; never throws.
bool path_exists(std::string_view path);
bool is_directory(std::string_view path);
bool is_regular_file(std::string_view path);

}  // namespace verbix
