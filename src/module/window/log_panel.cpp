// The window's small services: the log panel, the input block, the read-only entries, the
// file and folder choosers and the two message boxes. The panel and the boxes make Tk redraw
// at once, because the commands that call them keep the event loop busy.
#include <nanobind/stl/string.h>

#include <chrono>

#include "utils/file_helpers.h"
#include "utils/log_service.h"
#include "utils/paths.h"
#include "window/app_window.h"

namespace verbix::py {
namespace {

using namespace nb::literals;

// The toolkit's event kinds that the input block swallows; the last two are X11's wheel.
constexpr const char* kInputEvents[] = {
    "<Key>",           "<KeyPress>",   "<KeyRelease>", "<Button>",   "<ButtonPress>",
    "<ButtonRelease>", "<MouseWheel>", "<Button-4>",   "<Button-5>",
};

constexpr const char* kDialogueFileType = "Dialogue File";
constexpr const char* kDialoguePatterns = "*.csv;*.txt";

nb::str str_of(std::string_view text) { return nb::str(text.data(), text.size()); }

}  // namespace

// Each line goes into the text at once, through the inner Tk text widget: customtkinter's own
// configure redraws the whole box on every state change. Scrolling and redrawing, the costly
// part, happen at most every 50 ms; a timer, the end of the command and every box that opens
// show the lines that came in between.
void App::append_log(std::string_view p_msg) {
  utils.info(p_msg);
  if (!is_open()) return;
  log_inner.attr("configure")("state"_a = tk::normal());
  log_inner.attr("insert")("end", str_of(std::string(p_msg) + "\n"));
  log_inner.attr("configure")("state"_a = tk::disabled());
  show_log_end(false);
}

void App::show_log_end(bool p_now) {
  if (!is_open()) return;
  const auto now = std::chrono::steady_clock::now();
  if (!p_now && now - log_shown_ < std::chrono::milliseconds(50)) {
    if (!log_show_due_) root.attr("after")(50, command("show_log_end", &App::show_log_now));
    log_show_due_ = true;
    return;
  }
  log_inner.attr("see")("end");
  tk::process_idle(root);
  log_shown_ = std::chrono::steady_clock::now();
}

void App::show_log_now() {
  log_show_due_ = false;
  show_log_end(true);
}

void App::clear_log() {
  if (!is_open()) return;
  log_inner.attr("configure")("state"_a = tk::normal());
  log_inner.attr("delete")("1.0", "end");
  log_inner.attr("configure")("state"_a = tk::disabled());
  show_log_end(true);
}

void App::save_log() { utils.log_flush(); }

void App::open_logs() {
  ensure_dir(utils.LOG_PATH);
  open_dir(utils.LOG_PATH, utils.current_log);
}

// The application-wide bindings run after a widget's own, so they do not stop a click on a
// button: the widgets that start work are disabled too, with their states kept for input_enable.
void App::input_disable() {
  for (const char* kind : kInputEvents) root.attr("bind_all")(kind, commands_.breaker());
  if (!blocked_.empty()) return;
  for (nb::handle widget : {create_folder_inp, create_format_opt, create_images_opt,
                            create_folder_btn, update_target_btn, update_images_opt,
                            update_format_opt, update_backup_tog, update_check_btn, update_button,
                            build_target_sel, build_output_sel, build_button, log_open, tabview}) {
    if (!widget.is_valid()) continue;
    blocked_.emplace_back(nb::borrow(widget), widget.attr("cget")("state"));
    widget.attr("configure")("state"_a = tk::disabled());
  }
}

// Clicks and keys that arrived while the command ran are still queued: they are handled
// (and dropped by the disabled widgets) before the widgets are given back. A close asked
// for meanwhile is carried out now.
void App::input_enable() {
  if (!blocked_.empty() && is_open()) root.attr("update")();
  std::vector<std::pair<nb::object, nb::object>> blocked = std::move(blocked_);
  blocked_.clear();
  if (!is_open()) return;
  for (auto& [widget, state] : blocked) widget.attr("configure")("state"_a = state);
  for (const char* kind : kInputEvents) root.attr("unbind_all")(kind);
  if (close_pending_) on_close();
}

// The bar moves in steps of a per cent at most, so that a step of many thousand items does
// not spend its time redrawing; a new step always shows.
void App::progress(std::string_view p_step, std::size_t p_done, std::size_t p_total) {
  if (!is_open() || !progress_bar.is_valid()) return;
  const std::size_t permille =
      p_total ? std::min<std::size_t>(p_done, p_total) * 1000 / p_total : 0;
  if (p_step == progress_step_ && permille / 10 == progress_shown_ / 10 && p_done != p_total)
    return;
  progress_step_ = std::string(p_step);
  progress_shown_ = permille;
  std::string text(p_step);
  if (p_total) text += " " + std::to_string(p_done) + "/" + std::to_string(p_total);
  progress_lbl.attr("configure")("text"_a = str_of(text));
  progress_bar.attr("set")(static_cast<double>(permille) / 1000.0);
  log_inner.attr("see")("end");
  log_shown_ = std::chrono::steady_clock::now();
  // While input is blocked the whole event queue may run: the window repaints what other
  // windows uncovered, and clicks and keys meet disabled widgets. Otherwise only redraws.
  if (blocked_.empty())
    tk::process_idle(root);
  else
    root.attr("update")();
}

void App::build_progress() {
  progress_frame = tk::make("CTkFrame", log_frame, {{"fg_color", str_of("transparent")}});
  progress_frame.attr("pack")("side"_a = "bottom", "fill"_a = "x", "padx"_a = 10,
                              "pady"_a = nb::make_tuple(0, 5), "before"_a = log_text);
  progress_lbl = tk::make("CTkLabel", progress_frame,
                          {{"text", str_of("")}, {"font", log_font}, {"anchor", str_of("w")}});
  progress_lbl.attr("pack")("side"_a = "left", "padx"_a = nb::make_tuple(0, 10));
  progress_bar = tk::make("CTkProgressBar", progress_frame, {{"mode", str_of("determinate")}});
  progress_bar.attr("pack")("side"_a = "left", "fill"_a = "x", "expand"_a = true);
  progress_bar.attr("set")(0);
}

void App::reset_progress() {
  progress_step_.clear();
  progress_shown_ = 0;
  if (!is_open() || !progress_bar.is_valid()) return;
  progress_lbl.attr("configure")("text"_a = str_of(""));
  progress_bar.attr("set")(0);
}

InputBlock::InputBlock(App& p_app) : app_(p_app) { app_.input_disable(); }

InputBlock::~InputBlock() {
  try {
    app_.show_log_end(true);
    app_.reset_progress();
    app_.input_enable();
    app_.save_log();
  } catch (nb::python_error& e) {
    e.discard_as_unraisable("input_enable");
  }
}

void App::set_lbl(nb::handle p_label, std::string_view p_text) {
  p_label.attr("configure")("state"_a = tk::normal());
  p_label.attr("delete")(0, "end");
  p_label.attr("insert")(0, str_of(p_text));
  p_label.attr("configure")("state"_a = tk::readonly());
}

std::string App::sel_file(std::string_view p_path, std::string_view p_title) {
  const std::string chosen =
      tk::ask_open_file(root, p_title, p_path, {{kDialogueFileType, kDialoguePatterns}});
  const std::string path = full_path(chosen);
  return is_regular_file(path) ? path : std::string();
}

std::string App::sel_dir(std::string_view p_path, std::string_view p_title) {
  const std::string path = normpath(tk::ask_directory(root, p_title, p_path));
  return path == "." ? std::string() : path;
}

// A closed window shows no boxes; its questions are answered No.
void App::popup_error(std::string_view p_msg, std::string_view p_title) {
  if (!is_open()) return;
  show_log_end(true);
  tk::show_error(root, p_title, p_msg);
}

bool App::popup_yes_no(std::string_view p_msg, std::string_view p_title) {
  if (!is_open()) return false;
  show_log_end(true);
  return tk::ask_yes_no(root, p_title, p_msg);
}

}  // namespace verbix::py
