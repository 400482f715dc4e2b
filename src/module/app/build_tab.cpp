// The Build tab's commands.
#include "app/app_window.h"
#include "utils/paths.h"

namespace verbix::py {

std::string App::get_src_pth() const { return full_path(tk::text(build_target_pth)); }
std::string App::get_dst_pth() const { return full_path(tk::text(build_output_pth)); }
void App::sel_build_src() { append_log("Choosing the build target is not built yet."); }
void App::sel_build_dst() { append_log("Choosing the build output is not built yet."); }
void App::build() { append_log("Build is not built yet."); }

}  // namespace verbix::py
