// The Update tab's commands: the "..." button choosing the translation file, and "Check" and
// "Update", which run the core's workflows on the loaded game data with input blocked.
#include "window/app_window.h"
#include "app/update_project.h"
#include "utils/paths.h"

namespace verbix::py {
namespace {

// Input stays blocked while the workflow runs and is given back, and the log flushed, on
// every way out: a normal end, an error stop, a cancel or an exception.
class InputBlock {
 public:
  explicit InputBlock(App& p_app) : app_(p_app) { app_.input_disable(); }
  ~InputBlock() {
    try {
      app_.input_enable();
      app_.save_log();
    } catch (nb::python_error& e) {
      e.discard_as_unraisable("input_enable");
    }
  }
  InputBlock(const InputBlock&) = delete;
  InputBlock& operator=(const InputBlock&) = delete;

 private:
  App& app_;
};

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
  update_translation(data,
                     {.target = get_update_file(),
                      .format = tk::text(update_format_opt),
                      .images = tk::text(update_images_opt),
                      .backup = update_backup_tog.attr("get")().equal(nb::int_(1))},
                     this);
}

}  // namespace verbix::py
