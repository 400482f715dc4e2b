// The Create tab: its layout, and its command, which reads the tab's inputs and runs the Create
// workflow of the core on the game's data, reporting into this window.
#include "app/create_project.h"
#include "window/app_window.h"
#include "window/tab_builder.h"

namespace verbix::py {

void App::generate_folder() {
  clear_log();
  InputBlock block(*this);  // the progress display repaints the window: no second click meanwhile
  create_project(data,
                 {.root_dir = root_dir,
                  .folder = tk::text(create_folder_inp),
                  .layout = tk::text(create_format_opt),
                  .images = tk::text(create_images_opt)},
                 this);
}

void App::build_create_tab() {
  const TabBuilder t{tab_new, gui_font};
  create_folder_lbl = t.label("Folder", {.row = 0, .column = 0, .padx = 10, .pady = PAD_Y});
  create_folder_inp =
      t.entry(240, {.row = 0, .column = 1, .padx = 10, .pady = PAD_Y, .sticky = "ew"});
  create_format_lbl = t.label("Format", {.row = 1, .column = 0, .padx = 10, .pady = PAD_Y});
  create_format_opt = t.combo(values_of(OPT_FORMAT), 96,
                              {.row = 1, .column = 1, .padx = 10, .pady = PAD_Y, .sticky = "w"});
  tk::set_combo(create_format_opt, cfg_data.create_format);
  create_images_lbl = t.label("Images", {.row = 2, .column = 0, .padx = 10, .pady = PAD_Y});
  create_images_opt = t.combo(values_of(OPT_IMAGES), 96,
                              {.row = 2, .column = 1, .padx = 10, .pady = PAD_Y, .sticky = "w"});
  tk::set_combo(create_images_opt, "PNG");
  tk::set_combo(create_images_opt, cfg_data.create_images);
  create_folder_btn =
      t.button("Generate Folder", command("generate_folder", &App::generate_folder), 0,
               {.row = 4, .column = 0, .padx = 50, .pady = 20, .sticky = "ew", .columnspan = 2});
}

}  // namespace verbix::py
