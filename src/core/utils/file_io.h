// Whole-file reads and writes on UTF-8 paths, raising OsError with the operating system's
// code, and the line-ending rules of text files (platform line ending on writing; CR LF,
// lone CR and LF all read as one line break).
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace verbix {

// An open C stream of a file, closed when it goes out of scope.
struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// The file opened with the fopen `mode` ("rb", "wb", "ab"), by its UTF-8 path on every
// platform. Throws OsError with the system's code when it cannot be opened.
File open_file(std::string_view path, const char* mode);

// The file's bytes. Throws OsError when it cannot be opened or read (a folder included).
std::string read_file(std::string_view path);

// Writes `data` to the file, truncating it (or appending to it). Throws OsError.
void write_file(std::string_view path, std::string_view data, bool append = false);

// Creates `path` as an empty file if no entry of that name exists, in one step that no other
// process can interleave with: true when this call made it, false when the name was taken.
// Throws OsError for any other failure (a missing folder, no permission).
bool create_new_file(std::string_view path);

// Writes `data` to a temporary file beside `path` and renames it over `path`, so that a
// failed or interrupted write leaves the old file whole. Throws OsError.
void write_file_replacing(std::string_view path, std::string_view data);

// A file written in parts to a temporary file beside `path` and renamed over `path` by
// commit(); destroyed without commit, it removes the temporary file and leaves `path` as it
// was. Every step throws OsError naming `path`.
class ReplacingFile {
 public:
  explicit ReplacingFile(std::string_view path);
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;
  ~ReplacingFile();

  void write(std::string_view bytes);
  void commit();

 private:
  std::string path_;
  std::string temp_;
  void* file_ = nullptr;  // the open temporary file (a std::FILE)
};

// Whether the path is a symbolic link (false when it is missing).
bool is_link(std::string_view path);

// Deletes one file or link; a folder is refused. Throws OsError.
void remove_file_entry(std::string_view path);

// Deletes the paths matching `p_dir` joined with the pattern `p_ext` (*, ?, [set]) that
// sort first, until at most `p_num` remain. Throws OsError when a deletion fails.
void file_limit(long long p_num, std::string_view p_dir, std::string_view p_ext);

// The paths that match a wildcard pattern, in no particular order.
std::vector<std::string> glob_paths(std::string_view pattern);

// Gives `dst` the modification time of `src`, at full resolution. Throws OsError.
void copy_modification_time(std::string_view src, std::string_view dst);

// Text as written to a text file: every "\n" becomes the platform line ending.
std::string to_platform_newlines(std::string_view text);

// Text as read from a text file: CR LF and lone CR become "\n". The second form converts in
// place, without a copy of a large file's text.
std::string to_universal_newlines(std::string_view text);
std::string to_universal_newlines(std::string&& text);

}  // namespace verbix
