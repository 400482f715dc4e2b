#include "app/create_project.h"

#include "app/project_images.h"
#include "data/dialogue_csv.h"
#include "data/dialogue_txt.h"
#include "review/baseline.h"
#include "text/py_text.h"
#include "utils/data_paths.h"
#include "utils/file_helpers.h"
#include "utils/log_service.h"
#include "utils/paths.h"

namespace verbix {
namespace {

// Writes every image of the record below `path`; an unsafe key is refused and skipped.
// False after an error stop.
bool save_images(const Value& p_data, const std::string& path, Window* p_app) {
  const Value* images = p_data.find("img_data");
  if (!images || !images->is_map()) return true;
  size_t done = 0;
  for (const auto& [key, bytes] : images->as_map()) {
    progress(p_app, "Writing images", ++done, images->as_map().size());
    const std::optional<std::string> png_path = image_path_in(path, key);
    if (!png_path) {
      info(image_refusal(key), p_app);
      continue;
    }
    const std::string img_name = path_basename(*png_path);
    if (save_image(*png_path, bytes.is_bytes() ? bytes.as_bytes() : std::string()) == 0)
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

bool image_key_is_safe(std::string_view p_key) { return !relative_path_fault(p_key); }

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

  progress(p_app, p_request.layout == "TXT" ? "Writing dialogue.txt" : "Writing dialogue.csv");
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

  // The English the project starts from, for Check to tell later which texts the game changed.
  if (save_baseline(path, p_data) != 0)
    info("Failed to write " + std::string(kBaselineFile) +
             ": texts whose English changes cannot be listed until Update writes one.",
         p_app);
  if (p_request.images != "NONE" && !save_images(p_data, path, p_app)) return false;

  p_tools.open_folder(path);
  info("Generated files at: " + path, p_app);
  p_app->save_log();
  return true;
}

}  // namespace verbix
