#include "app/project_images.h"

#include <filesystem>

#include "app/create_project.h"
#include "utils/data_paths.h"
#include "utils/file_io.h"
#include "utils/log_service.h"
#include "utils/os_error.h"
#include "utils/paths.h"

namespace verbix {
namespace {

// Whether `path` lies below `folder` (both normalised).
bool is_below(const std::string& path, const std::string& folder) {
  return path.size() > folder.size() + 1 && path.compare(0, folder.size(), folder) == 0 &&
         path[folder.size()] == kPathSep;
}

}  // namespace

std::optional<std::string> image_path_in(std::string_view p_folder, std::string_view p_key) {
  const std::string folder = normpath(p_folder);
  std::string png_path = normpath(path_join(p_folder, std::string(p_key) + ".png"));
  if (!image_key_is_safe(p_key) || !is_below(png_path, folder)) return std::nullopt;
  return png_path;
}

std::string image_refusal(std::string_view p_key) {
  const std::optional<std::string> fault = relative_path_fault(p_key);
  if (!fault || fault_leaves_folder(*fault))
    return "Refused image outside the project folder: " + shown_name(p_key);
  return "Refused image whose name " + *fault + ": " + shown_name(p_key);
}

int save_image(const std::string& p_file, std::string_view p_bytes) {
  try {
    std::error_code ec;
    std::filesystem::create_directories(fs_path(path_dirname(p_file)), ec);
    write_file_replacing(p_file, p_bytes);
    return 0;
  } catch (const OsError& e) {
    utils.fail("Failed to save file: " + std::string(e.what()));
    return 1;
  }
}

}  // namespace verbix
