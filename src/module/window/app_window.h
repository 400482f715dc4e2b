// The tool's one window, `App`: start-up (tool folder, configuration, icon, geometry, widgets,
// the game's language data, title), the log panel and dialogs every workflow reports through,
// the Create tab's command, and closing. It implements the core's Window interface, so data
// code and the workflows report into its panel and its message boxes.
//
// The window owns the Tk root it creates and destroys it when it closes or goes away; every
// command given to Tk checks first that the window is still there.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "../bindings.h"
#include "app/tool_config.h"
#include "app/update_project.h"
#include "data/value.h"
#include "utils/reporting.h"
#include "window/toolkit.h"

namespace verbix::py {

// Module-level settings of the window.
inline constexpr int W = 1000;
inline constexpr int H = 330;
inline constexpr int PAD_Y = 5;

// The window could not be made because no display is available; `what()` is Tk's reason.
class NoDisplay : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class App : public Window {
 public:
  // Runs the whole start-up. `p_first_file`, when given, is a language data file tried before
  // the usual search. May end the process when no language data can be loaded.
  explicit App(std::string p_first_file = {});
  ~App() override;
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  // -- Shell --
  // Loads and validates a language data file into `data`; false (with a log line for a
  // missing or invalid file) when it cannot be used.
  bool load_data(const std::string& p_path);
  // Stores the widget values in the configuration file and destroys the window.
  void on_close();
  // Whether the Tk window still exists.
  bool is_open() const { return commands_.alive(); }

  // -- Log panel and dialogs --
  void append_log(std::string_view p_msg) override;
  void save_log() override;
  void popup_error(std::string_view p_msg, std::string_view p_title = kErrorTitle) override;
  bool popup_yes_no(std::string_view p_msg, std::string_view p_title = kConfirmTitle) override;
  void clear_log();
  void open_logs();
  // Scrolls the log panel to its last line and redraws: at once with `p_now`, otherwise at
  // most every 50 ms, a timer catching up with the lines in between.
  void show_log_end(bool p_now);
  void input_disable();
  void input_enable();
  // Shows the step and its count under the log panel, and repaints the window while input
  // is blocked (a long command keeps the event loop from doing it).
  void progress(std::string_view p_step, std::size_t p_done, std::size_t p_total) override;
  // An idle window shows no step: the label emptied, the bar at 0.
  void reset_progress();
  // Replaces the text of a read-only entry, which stays read-only.
  void set_lbl(nb::handle p_label, std::string_view p_text);
  // The chosen existing file (absolute, normalised) or the empty text.
  std::string sel_file(std::string_view p_path, std::string_view p_title);
  // The chosen folder (normalised) or the empty text.
  std::string sel_dir(std::string_view p_path, std::string_view p_title);

  // -- Tab commands --
  void generate_folder();
  std::string get_update_file() const;  // the Update tab's file, absolute and normalised
  void sel_update_file();
  std::optional<Value> verify();  // the merged translation, or nothing
  void check();
  std::optional<Value> update();       // the merged record, or nothing
  void update_command() { update(); }  // the button's: its result is not used
  // Points the Target entries at the file an update in another form wrote.
  void follow_new_form(const UpdateRequest& p_request);
  // The Build tab's paths: its entries' texts made absolute and normalised.
  std::string get_src_pth() const;
  std::string get_dst_pth() const;
  void sel_build_src();
  void sel_build_dst();
  void build();

  // -- State --
  std::string root_dir;
  std::string ico_file;
  std::string cfg_file;
  ToolConfig cfg_data;
  Value data;

  nb::object root;        // the customtkinter window
  nb::object icon_photo;  // the icon as a photo, where Tk cannot read the .ico
  nb::tuple log_font;
  nb::tuple gui_font;
  nb::object main_frame, tab_frame, log_frame, tabview, tab_new, tab_upd, tab_bld;
  nb::object log_title, log_label, log_open, log_text;
  nb::object log_inner;                                   // the Tk text widget inside log_text
  nb::object progress_frame, progress_lbl, progress_bar;  // under the log panel
  nb::object create_folder_lbl, create_folder_inp, create_format_lbl, create_format_opt,
      create_images_lbl, create_images_opt, create_folder_btn;
  nb::object update_target_lbl, update_target_pth, update_target_btn, update_images_lbl,
      update_images_opt, update_format_lbl, update_format_opt, update_backup_lbl, update_backup_tog,
      update_check_btn, update_button;
  nb::object build_target_lbl, build_target_pth, build_target_sel, build_output_lbl,
      build_output_pth, build_output_sel, build_button;

 private:
  void make_root();
  void make_tool_folder();
  void load_config();
  void set_icon();
  void set_geometry();
  void build_widgets();
  void build_log_panel();
  void build_progress();
  void build_create_tab();
  void build_update_tab();
  void build_build_tab();
  void locate_data(const std::string& first_file);
  // Ends the process with `p_code` at once, after the host's output is flushed.
  [[noreturn]] void end_process(int p_code);
  nb::object command(const char* name, void (App::*method)());
  // Destroys the Tk window once.
  void close_root();

  tk::Commands commands_;
  std::vector<std::pair<nb::object, nb::object>> blocked_;  // widgets input_disable disabled
  bool close_pending_ = false;                         // the window was closed while a command ran
  std::chrono::steady_clock::time_point log_shown_{};  // the last scroll and redraw of the log
  bool log_show_due_ = false;                          // the timer of show_log_now is set
  void show_log_now();
  std::string progress_step_;  // the step and the per mille last shown
  std::size_t progress_shown_ = 0;
};

// Blocks input for the life of a command that may run long, resets the progress display, and
// on every way out (a normal end, an error stop, a cancel, an exception) gives input back and
// flushes the log.
class InputBlock {
 public:
  explicit InputBlock(App& p_app);
  ~InputBlock();
  InputBlock(const InputBlock&) = delete;
  InputBlock& operator=(const InputBlock&) = delete;

 private:
  App& app_;
};

// The language data search and the event loop: the entry of the `verbix` command.
// `argv` holds the arguments after the program name. Returns the exit status.
int run_main(const std::vector<std::string>& argv);

}  // namespace verbix::py
