#include "utils/root_folder.h"

#include "text/py_text.h"
#include "utils/paths.h"

namespace verbix {

bool host_is_python(const HostFacts& p_host) {
  return ascii_lower(path_basename(p_host.executable)).starts_with("python");
}

std::string root_folder(const HostFacts& p_host, bool p_is_script, const std::string& p_file_dir,
                        const std::string& p_start_dir) {
  if (!p_is_script && host_is_python(p_host)) return p_start_dir;
  return path_dirname(p_file_dir);
}

}  // namespace verbix
