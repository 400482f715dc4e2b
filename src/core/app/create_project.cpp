#include "app/create_project.h"

#include <filesystem>

#include "data/dialogue_csv.h"
#include "data/dialogue_txt.h"
#include "utils/file_helpers.h"
#include "utils/file_io.h"
#include "utils/log_service.h"
#include "utils/os_error.h"
#include "utils/paths.h"
#include "utils/py_text.h"

namespace verbix {
namespace {

// The path components of a key, split at either separator.
std::vector<std::string_view> components(std::string_view key) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (size_t i = 0; i <= key.size(); ++i) {
    if (i == key.size() || key[i] == '/' || key[i] == '\\') {
      parts.push_back(key.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

// Whether `path` lies below `folder` (both normalised).
bool is_below(const std::string& path, const std::string& folder) {
  return path.size() > folder.size() + 1 && path.compare(0, folder.size(), folder) == 0 &&
         path[folder.size()] == kPathSep;
}

// Writes an image's bytes, making missing folders: 0 on success, 1 (with an error line)
// on failure. Unlike buff_save it does not end the process, so one unwritable image stops
// Create with its message and leaves the window running.
int save_image(const std::string& p_file, std::string_view p_bytes) {
  try {
    std::error_code ec;
    std::filesystem::create_directories(fs_path(path_dirname(p_file)), ec);
    write_file(p_file, p_bytes);
    return 0;
  } catch (const OsError& e) {
    utils.fail("Failed to save file: " + std::string(e.what()));
    return 1;
  }
}

// Writes every image of the record below `path`; an unsafe key is refused and skipped.
// False after an error stop.
bool save_images(const Value& p_data, const std::string& path, Window* p_app) {
  const Value* images = p_data.find("img_data");
  if (!images || !images->is_map()) return true;
  const std::string folder = normpath(path);
  for (const auto& [key, bytes] : images->as_map()) {
    const std::string png_path = normpath(path_join(path, key + ".png"));
    const std::string img_name = path_basename(png_path);
    if (!image_key_is_safe(key) || !is_below(png_path, folder)) {
      info("Refused image outside the project folder: " + key, p_app);
      continue;
    }
    if (save_image(png_path, bytes.is_bytes() ? bytes.as_bytes() : std::string()) == 0)
      info("Saved image: " + img_name, p_app);
    else
      return error("Failed to save image: " + img_name, false, p_app);
  }
  return true;
}

}  // namespace

CreateTools create_tools() {
  return {[](const Value& p_dat, Window* p_app) { return dat_2_txt(p_dat, p_app); },
          [](const Value& p_eng, Window* p_app) { return dat_2_csv(p_eng, Value::map(), p_app); },
          [](const std::string& p_path) { open_dir(p_path); }};
}

bool image_key_is_safe(std::string_view p_key) {
  if (!p_key.empty() && (p_key.front() == '/' || p_key.front() == '\\')) return false;
  if (p_key.find(':') != std::string_view::npos) return false;
  for (std::string_view part : components(p_key))
    if (part == "..") return false;
  return true;
}

bool create_project(const Value& p_data, const CreateRequest& p_request, Window* p_app,
                    const CreateTools& p_tools) {
  utils.info("\n[GENERATING FOLDER]\n");
  const std::string folder = py_strip(p_request.folder);
  if (folder.empty()) return error("Can't generate folder without a name.", false, p_app);

  const std::string path = path_join(p_request.root_dir, folder);
  if (path_exists(path)) {
    if (p_app->popup_yes_no("Folder already exists:\n" + path + "\n\nDo you want overwrite it?",
                            kConfirmTitle)) {
      if (!delete_dir(path)) return error("Failed to delete: " + path, false, p_app);
      info("Deleted folder: " + path, p_app);
    } else {
      info("Canceled creating project folder.", p_app);
      return false;
    }
  }

  if (!ensure_dir(path_join(path, "font")))
    return error("Failed to create folders in: " + path, false, p_app);

  if (p_request.layout == "TXT") {
    const std::string text = p_tools.to_txt(p_data, p_app);
    const int result = txt_save(path_join(path, "dialogue.txt"), text);
    if (text.empty() || result != 0) return error("Failed to create dialogue.txt", false, p_app);
    info("Created dialogue.txt", p_app);
  } else {
    const CsvTable rows = p_tools.to_csv(p_data, p_app);
    const int result = csv_save(path_join(path, "dialogue.csv"), rows);
    if (rows.empty() || result != 0) return error("Failed to create dialogue.csv", false, p_app);
    info("Created dialogue.csv", p_app);
  }

  if (p_request.images != "NONE" && !save_images(p_data, path, p_app)) return false;

  p_tools.open_folder(path);
  info("Generated files at: " + path, p_app);
  p_app->save_log();
  return true;
}

}  // namespace verbix
