// The Create tab's command: reads the tab's inputs and runs the Create workflow of the core
// on the game's data, reporting into this window.
#include "app/app_window.h"
#include "app/create_project.h"

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

}  // namespace verbix::py
