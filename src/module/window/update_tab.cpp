// The Update tab: its layout, and its commands: the "..." button choosing the translation file, and
// "Check" and "Update", which run the core's workflows on the loaded game data with input blocked.
#include "app/update_project.h"
#include "utils/paths.h"
#include "window/app_window.h"
#include "window/tab_builder.h"

namespace verbix::py {

using namespace nb::literals;
std::string App::get_update_file() const { return full_path(tk::text(update_target_pth)); }

void App::sel_update_file() {
  const std::string chosen = sel_file(get_update_file(), "Select Translation File");
  if (chosen.empty()) return;
  tk::set_combo(update_format_opt, format_of_file(chosen));
  set_lbl(update_target_pth, chosen);
  info("Selected file: " + chosen, this);
}

std::optional<Value> App::verify() { return verbix::verify(data, get_update_file(), this); }

void App::check() {
  clear_log();
  InputBlock block(*this);
  check_translation(data, get_update_file(), this);
}

std::optional<Value> App::update() {
  clear_log();
  InputBlock block(*this);
  const UpdateRequest request{.target = get_update_file(),
                              .format = tk::text(update_format_opt),
                              .images = tk::text(update_images_opt),
                              .backup = update_backup_tog.attr("get")().equal(nb::int_(1))};
  std::optional<Value> merged = update_translation(data, request, this);
  if (merged) follow_new_form(request);
  return merged;
}

// After an update in the other form the old file is gone: the Update tab's Target, and the
// Build tab's when it named the same file, show the new one, so the next Check finds it.
void App::follow_new_form(const UpdateRequest& p_request) {
  const std::string written = update_output_path(p_request.target, p_request.format);
  if (written == p_request.target || !is_regular_file(written) || !is_open()) return;
  set_lbl(update_target_pth, written);
  const std::string build_text = tk::text(build_target_pth);
  if (!build_text.empty() && full_path(build_text) == p_request.target)
    set_lbl(build_target_pth, written);
}

void App::build_update_tab() {
  const TabBuilder t{tab_upd, gui_font};
  tab_upd.attr("grid_columnconfigure")(1, "weight"_a = 1);
  update_target_lbl =
      t.label("Target", {.row = 0, .column = 0, .padx = {10, 5}, .pady = PAD_Y, .sticky = "w"});
  update_target_pth =
      t.path_entry(cfg_data.update_target,
                   {.row = 0, .column = 1, .padx = {5, 5}, .pady = PAD_Y, .sticky = "ew"});
  update_target_btn =
      t.button("...", command("sel_update_file", &App::sel_update_file), 30,
               {.row = 0, .column = 2, .padx = {5, 10}, .pady = PAD_Y, .sticky = "e"});
  update_images_lbl = t.label("Images", {.row = 1, .column = 0, .padx = 10, .pady = PAD_Y});
  update_images_opt = t.combo(values_of(OPT_CHANGE), 170,
                              {.row = 1, .column = 1, .padx = 10, .pady = PAD_Y, .sticky = "w"});
  // 170 cuts "Replace Missing" in the window's font: as wide as its longest value needs.
  update_images_opt.attr("configure")(
      "width"_a = tk::combo_width(update_images_opt, gui_font, values_of(OPT_CHANGE), 170));
  tk::set_combo(update_images_opt, cfg_data.update_images);
  update_format_lbl = t.label("Format", {.row = 2, .column = 0, .padx = 10, .pady = PAD_Y});
  update_format_opt = t.combo(values_of(OPT_FORMAT), 96,
                              {.row = 2, .column = 1, .padx = 10, .pady = PAD_Y, .sticky = "w"});
  tk::set_combo(update_format_opt, cfg_data.update_format);
  update_backup_lbl =
      t.label("Backup", {.row = 3, .column = 0, .padx = {10, 5}, .pady = PAD_Y, .sticky = "w"});
  update_backup_tog = tk::make("CTkSwitch", tab_upd, {{"text", str_of("")}, {"font", gui_font}});
  tk::grid(update_backup_tog,
           {.row = 3, .column = 1, .padx = {5, 10}, .pady = PAD_Y, .sticky = "w", .columnspan = 2});
  if (cfg_data.update_backup) update_backup_tog.attr("select")();
  update_check_btn =
      t.button("Check", command("check", &App::check), 120,
               {.row = 4, .column = 0, .padx = 50, .pady = 10, .sticky = "ew", .columnspan = 3});
  update_button =
      t.button("Update", command("update", &App::update_command), 120,
               {.row = 5, .column = 0, .padx = 50, .pady = 1, .sticky = "ew", .columnspan = 3});
}

}  // namespace verbix::py
