#include "project/project_reader.h"

#include <algorithm>
#include <filesystem>

#include "data/dialogue_csv.h"
#include "data/dialogue_txt.h"
#include "data/language_data.h"
#include "text/py_text.h"
#include "text/text_form.h"
#include "text/utf8.h"
#include "utils/file_helpers.h"
#include "utils/file_io.h"
#include "utils/links.h"
#include "utils/memory.h"
#include "utils/os_error.h"
#include "utils/paths.h"

namespace verbix {
namespace {

namespace fs = std::filesystem;

// The file's bytes, or nothing after reporting why it could not be read.
std::optional<std::string> read_project_file(const std::string& path, Window* p_app) {
  try {
    return read_file(path);
  } catch (const OsError& e) {
    return error("Failed to load file: " + std::string(e.what()), std::nullopt, p_app);
  }
}

// The text with every byte outside ASCII shown as \xNN, so that any bytes can be logged.
std::string escaped_bytes(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x80) {
      out += c;
    } else {
      out += "\\x";
      out += kHex[u >> 4];
      out += kHex[u & 15];
    }
  }
  return out;
}

// The names of the regular files and the folders of one folder, in listing order. Links
// are not followed (they could lead out of the project): each is named in the log.
void list_folder(const std::string& dir, std::vector<std::string>& files,
                 std::vector<std::string>& dirs, Window* p_app) {
  std::error_code ec;
  for (fs::directory_iterator it(fs_path(dir), ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code kind_ec;
    const std::string name = path_text(it->path().filename());
    if (utf8_error(name)) {
      // Keys and messages are texts: a name the system gives as other bytes cannot be one.
      info("Skipped name that is not UTF-8: " + escaped_bytes(normpath(path_join(dir, name))),
           p_app);
      continue;
    }
    if (is_link_path(path_text(it->path()))) {
      info("Skipped link: " + normpath(path_join(dir, name)), p_app);
      continue;
    }
    // Pipes and devices are left out: reading one could wait for ever.
    if (it->is_directory(kind_ec))
      dirs.push_back(name);
    else if (it->is_regular_file(kind_ec))
      files.push_back(name);
  }
}

// The record's face name: lower case, extension removed.
std::string face_name(const Value& record) {
  const Value* face = record.find("fnt_face");
  const std::string text = ascii_lower(face ? text_form(*face) : std::string());
  return text.substr(0, text.size() - path_extension(text).size());
}

// The project's font folder: "font", else "fonts"; empty when neither is a folder.
std::string font_folder(const std::string& project) {
  const std::string font = normpath(path_join(project, "font"));
  for (const std::string& folder : {font, font + "s"})
    if (is_directory(folder) && !is_link_path(folder)) return folder;
  return {};
}

// The first font file of the folder whose name holds the face, or the empty text.
std::string find_font_file(const std::string& folder, const std::string& face, Window* p_app) {
  std::error_code ec;
  for (fs::directory_iterator it(fs_path(folder), ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code kind_ec;
    if (!it->is_regular_file(kind_ec)) continue;
    const std::string name = path_text(it->path().filename());
    if (is_link_path(path_text(it->path()))) {
      info("Skipped link: " + normpath(path_join(folder, name)), p_app);
      continue;
    }
    const std::string low = ascii_lower(name);
    if (std::none_of(FONT_TYPES.begin(), FONT_TYPES.end(),
                     [&](const std::string& type) { return low.ends_with(type); }))
      continue;
    info("Checking font: " + name, p_app);
    if (low.find(face) != std::string::npos) return normpath(path_join(folder, name));
  }
  return {};
}

// Embeds the font file named by the record's face. False after an error stop.
bool embed_font(Value& record, const std::string& project, Window* p_app) {
  const std::string face = face_name(record);
  const std::string stored = text_form(record["fnt_face"]);
  if (face.empty()) {
    info("No font specified.", p_app);
    return true;
  }
  if (std::find(FONT_FACES.begin(), FONT_FACES.end(), face) != FONT_FACES.end()) {
    info("Using built-in font: " + stored, p_app);
    return true;
  }
  const std::string folder = font_folder(project);
  if (folder.empty()) {
    info("No font folder found.", p_app);
    return true;
  }
  const std::string file = find_font_file(folder, face, p_app);
  if (file.empty()) {
    info("No font file found for: " + stored, p_app);
    return true;
  }
  std::optional<std::string> bytes = read_project_file(file, p_app);
  if (!bytes) return false;
  if (bytes->empty()) return error("Failed to font: " + file, false, p_app);
  record["fnt_data"] = Value::bytes(std::move(*bytes));
  info("Including font: " + stored, p_app);
  return true;
}

// A folder, a pipe or a device in the dialogue file's place is not read: a pipe could keep
// the reader waiting for ever. A missing file is left to the loaders, which report it.
bool readable(const std::string& file) { return !path_exists(file) || is_regular_file(file); }

}  // namespace

std::string dlg_file(std::string_view p_dir) {
  for (const char* name : {"dialogue.txt", "dialogue.csv"}) {
    const std::string path = normpath(path_join(p_dir, name));
    if (is_regular_file(path)) return path;
  }
  return {};
}

DialogueRead dlg_data(std::string_view p_file, Window* p_app) {
  const std::string file(p_file);
  const std::string low = ascii_lower(file);
  progress(p_app, "Reading " + path_basename(file));
  if (low.ends_with("txt")) {
    info("Loading " + file, p_app);
    if (!readable(file)) info("Not a regular file, not read: " + file, p_app);
    std::string problem;
    const std::optional<std::string> text =
        readable(file) ? txt_load(file, &problem) : std::nullopt;
    if (!problem.empty()) return error(problem, read_failure(), p_app);
    if (!text || text->empty()) {
      info("Couldn't load: " + file, p_app);
      return read_failure();
    }
    return txt_2_dat(*text, p_app);
  }
  if (low.ends_with("csv")) {
    info("Loading " + file, p_app);
    if (!readable(file)) info("Not a regular file, not read: " + file, p_app);
    std::string problem;
    const std::optional<CsvText> csv = readable(file) ? csv_load_text(file, problem) : std::nullopt;
    if (!problem.empty()) return error(problem, read_failure(), p_app);
    if (!csv || csv->rows == 0) {
      info("Couldn't load: " + file, p_app);
      return read_failure();
    }
    return csv_2_dat(csv->text, csv->sep, p_app);
  }
  info("Target folder missing dialogue file.", p_app);
  return read_failure();
}

std::vector<PngFile> png_files(std::string_view p_path, Window* p_app) {
  std::vector<PngFile> found;
  const std::string root = normpath(p_path);
  if (!path_exists(root)) {
    info("SKIPPING: Folder doesn't exist: " + std::string(p_path), p_app);
    return found;
  }
  if (is_link_path(root)) {
    info("Skipped link: " + root, p_app);
    return found;
  }
  // Keys are relative to the folder holding the image folder: that prefix is removed once.
  const std::string base = path_dirname(root);
  const std::string prefix = base.empty() ? std::string() : base + kPathSep;
  std::vector<std::string> pending{root};  // folders still to walk, the next one last
  while (!pending.empty()) {
    const std::string dir = std::move(pending.back());
    pending.pop_back();
    std::vector<std::string> files, dirs;
    list_folder(dir, files, dirs, p_app);
    for (const std::string& name : files) {
      if (!ascii_lower(name).ends_with(".png")) continue;
      std::string path = normpath(path_join(dir, name));
      std::string key =
          path.compare(0, prefix.size(), prefix) == 0 ? path.substr(prefix.size()) : path;
      std::replace(key.begin(), key.end(), '\\', '/');
      found.push_back({std::move(path), std::move(key)});
    }
    for (auto it = dirs.rbegin(); it != dirs.rend(); ++it) pending.push_back(path_join(dir, *it));
  }
  return found;
}

std::optional<Map> dir_pngs(std::string_view p_path, Window* p_app) {
  Map result;
  const std::vector<PngFile> pngs = png_files(p_path, p_app);
  for (const PngFile& png : pngs) {
    progress(p_app, "Reading images", result.size() + 1, pngs.size());
    std::optional<std::string> bytes = read_project_file(png.path, p_app);
    if (!bytes) return std::nullopt;
    if (bytes->empty()) info("Failed to load image: " + path_basename(png.path), p_app);
    result.set(png.key, Value::bytes(std::move(*bytes)));
  }
  return result;
}

DialogueRead dlg_2_dat(std::string_view p_file, Window* p_app) {
  const std::string project = path_dirname(p_file);
  DialogueRead read = dlg_data(p_file, p_app);
  if (read.failed()) return read_failure();
  // The memory freed by parsing (the file's text, the reader's scratch) goes back to the
  // system before the images are read, so that it does not count twice in the peak.
  release_free_memory();
  if (!embed_font(read.data, project, p_app)) return read_failure();
  std::optional<Map> images = dir_pngs(normpath(path_join(project, "img")), p_app);
  if (!images) return read_failure();
  Map& img_data = read.data["img_data"].as_map();
  img_data.reserve(images->size());
  for (auto& [key, bytes] : *images) {
    info("Including image: " + key, p_app);
    img_data.set(key.substr(0, key.size() - 4), std::move(bytes));
  }
  return read;
}

DialogueRead dir_2_dat(std::string_view p_dir, Window* p_app) {
  return dlg_2_dat(dlg_file(p_dir), p_app);
}

}  // namespace verbix
