// The Update tab's commands: the "..." button choosing the translation file, and "Check" and
// "Update", which run the core's workflows on the loaded game data with input blocked.
#include "app/app_window.h"
#include "app/update_project.h"
#include "utils/paths.h"

namespace verbix::py {
namespace {

bool ends_with_csv(const std::string& p_path) {
  if (p_path.size() < 3) return false;
  std::string tail = p_path.substr(p_path.size() - 3);
  for (char& c : tail)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return tail == "CSV";
}

}  // namespace

std::string App::get_update_file() const { return full_path(tk::text(update_target_pth)); }

void App::sel_update_file() {
  const std::string chosen = sel_file(get_update_file(), "Select Translation File");
  if (chosen.empty()) return;
  tk::set_combo(update_format_opt, ends_with_csv(chosen) ? "CSV" : "TXT");
  set_lbl(update_target_pth, chosen);
  info("Selected file: " + chosen, this);
}

std::optional<Value> App::verify() { return verbix::verify(data, get_update_file(), this); }

void App::check() {
  clear_log();
  InputBlock block(*this);
  check_translation(data, get_update_file(), this);
}

void App::update() {
  clear_log();
  InputBlock block(*this);
  const UpdateRequest request{.target = get_update_file(),
                              .format = tk::text(update_format_opt),
                              .images = tk::text(update_images_opt),
                              .backup = update_backup_tog.attr("get")().equal(nb::int_(1))};
  if (update_translation(data, request, this)) follow_new_form(request);
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

}  // namespace verbix::py
