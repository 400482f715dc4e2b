// The Build tab's commands: the "..." buttons choosing the project's dialogue file and the
// output folder, and "Build Target Folder", which runs the core's Build workflow on them.
#include "app/app_window.h"
#include "app/build_project.h"
#include "utils/paths.h"

namespace verbix::py {

std::string App::get_src_pth() const { return full_path(tk::text(build_target_pth)); }
std::string App::get_dst_pth() const { return full_path(tk::text(build_output_pth)); }

void App::sel_build_src() {
  // The dialog starts at the Update tab's file, the translation most likely to be built.
  const std::string start = full_path(tk::text(update_target_pth));
  const std::string chosen = sel_file(start, "Select Translation File");
  if (chosen.empty()) return;
  set_lbl(build_target_pth, chosen);
  info("Selected file: " + chosen, this);
}

void App::sel_build_dst() {
  std::string start = get_dst_pth();
  if (!is_directory(start)) start = root_dir;
  const std::string chosen = sel_dir(start, "Select Output Folder");
  if (chosen.empty() || chosen == ".") return;
  set_lbl(build_output_pth, chosen);
  info("Selected output folder: " + chosen, this);
}

// Input is blocked as in Check and Update: a second click during a build is dropped instead
// of starting another build, which would ask to overwrite the file just written.
void App::build() {
  clear_log();
  InputBlock block(*this);
  const bool none = tk::text(build_target_pth).empty();  // no file chosen, not the working folder
  build_translation(data, {.target = none ? std::string() : get_src_pth(), .output = get_dst_pth()},
                    this);
}

}  // namespace verbix::py
