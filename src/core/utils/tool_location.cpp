// Where the tool lives and how it was started, from the facts the host handed over.
#include <algorithm>
#include <cctype>

#include "utils/log_service.h"
#include "utils/paths.h"

namespace verbix {

std::string import_utils::dir() const { return path_dirname(full_path(host.module_file)); }

bool import_utils::is_script() const {
  std::string ext = path_extension(host.module_file);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext == ".py";
}

std::string import_utils::file_dir() const {
  return full_path(is_script() ? host.main_file : host.executable);
}

}  // namespace verbix
