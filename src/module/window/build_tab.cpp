// The Build tab: its layout, and its commands: the "..." buttons choosing the project's dialogue
// file and the output folder, and "Build Target Folder", which runs the core's Build workflow on
// them.
#include "app/build_project.h"
#include "utils/paths.h"
#include "window/app_window.h"
#include "window/tab_builder.h"

namespace verbix::py {

using namespace nb::literals;

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

void App::build_build_tab() {
  const TabBuilder t{tab_bld, gui_font};
  tab_bld.attr("grid_columnconfigure")(1, "weight"_a = 1);
  build_target_lbl =
      t.label("Target", {.row = 0, .column = 0, .padx = {10, 5}, .pady = PAD_Y, .sticky = "w"});
  build_target_pth =
      t.path_entry(cfg_data.build_target,
                   {.row = 0, .column = 1, .padx = {5, 5}, .pady = PAD_Y, .sticky = "ew"});
  build_target_sel =
      t.button("...", command("sel_build_src", &App::sel_build_src), 30,
               {.row = 0, .column = 2, .padx = {5, 10}, .pady = PAD_Y, .sticky = "e"});
  build_output_lbl =
      t.label("Output", {.row = 1, .column = 0, .padx = {10, 5}, .pady = PAD_Y, .sticky = "w"});
  build_output_pth =
      t.path_entry(cfg_data.build_output,
                   {.row = 1, .column = 1, .padx = {5, 5}, .pady = PAD_Y, .sticky = "ew"});
  build_output_sel =
      t.button("...", command("sel_build_dst", &App::sel_build_dst), 30,
               {.row = 1, .column = 2, .padx = {5, 10}, .pady = PAD_Y, .sticky = "e"});
  build_button =
      t.button("Build Target Folder", command("build", &App::build), 0,
               {.row = 2, .column = 0, .padx = 50, .pady = 20, .sticky = "ew", .columnspan = 3});
}

}  // namespace verbix::py
