// The project folder reader: finds a project's dialogue file, has it parsed by the TXT or
// CSV reader, and completes the record with the font file's bytes and every PNG image under
// the project's "img" folder.
//
// A project folder holds "dialogue.txt" or "dialogue.csv", an optional "font" (or "fonts")
// folder and an optional "img" folder of any depth. Every function reports through `info`
// and `error` with `p_app`; a failure gives the failure pair (empty record, empty meta).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/dialogue_result.h"
#include "data/value.h"
#include "utils/reporting.h"

namespace verbix {

// The normalised path of "dialogue.txt" in the folder when it exists, else that of
// "dialogue.csv" when it exists, else the empty text.
std::string dlg_file(std::string_view p_dir);

// Parses one dialogue file: a name ending in "txt" (any case) as TXT, in "csv" as CSV.
// "Loading " + path, then "Couldn't load: " + path for an empty or unreadable file;
// "Target folder missing dialogue file." for any other name (the empty text included).
DialogueRead dlg_data(std::string_view p_file, Window* p_app = nullptr);

// One PNG file (".png" in any case) found below an image folder.
struct PngFile {
  std::string path;  // normalised full path
  std::string key;   // relative to the image folder's parent, "/"-separated, ".png" kept
};

// The PNG files below `p_path`, walked top-down (each folder's files in listing order, then
// its subfolders); links to folders are not followed, and only regular files (or links to
// them) count. "SKIPPING: Folder doesn't exist: " + path when the folder is missing.
std::vector<PngFile> png_files(std::string_view p_path, Window* p_app = nullptr);

// Image key (".png" kept) -> bytes for every PNG file below `p_path`; "Failed to load
// image: " + name for an empty file (stored empty). A file that cannot be read is reported
// through `error` ("Failed to load file: " + the system's words, naming the file) and gives
// nothing.
std::optional<Map> dir_pngs(std::string_view p_path, Window* p_app = nullptr);

// The whole reader for a named dialogue file: the parsed record with its font embedded
// (unless the face is built in) and its images added under their keys without ".png".
DialogueRead dlg_2_dat(std::string_view p_file, Window* p_app = nullptr);

// dlg_2_dat(dlg_file(p_dir)): the same for a project folder.
DialogueRead dir_2_dat(std::string_view p_dir, Window* p_app = nullptr);

}  // namespace verbix
