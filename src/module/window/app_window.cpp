// Start-up, layout and closing of the window.
#include "window/app_window.h"

#include "app/game_data.h"

#include <nanobind/stl/string.h>

#include <cstdio>
#include <cstdlib>

#include "data/container.h"
#include "data/language_data.h"
#include "text/text_form.h"
#include "utils/file_helpers.h"
#include "utils/log_service.h"
#include "utils/paths.h"
#include "utils/root_folder.h"
#include "utils/temp_files.h"
#include "utils/tool_folder.h"
#include "window/icon.h"
#include "window/tab_builder.h"
#include "window/vossel_ico.inc"

namespace verbix::py {
namespace {

using namespace nb::literals;
using tk::Cell;
using tk::Pad;

// Floor division, as the window's centring rounds towards the top left.
int floor_div(int a, int b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

}  // namespace

App::App(std::string p_first_file) : commands_(this) {
  make_root();
  try {
    make_tool_folder();
    load_config();
    set_icon();
    set_geometry();
    build_widgets();
    locate_data(p_first_file);
    root.attr("title")(
        str_of("Translation Tool  [Version " + text_form(*data.find("ver_hash")) + "]"));
    learn_sections(data);
    save_log();
  } catch (...) {
    close_root();
    throw;
  }
}

App::~App() {
  try {
    close_root();
  } catch (nb::python_error& e) {
    e.discard_as_unraisable("verbix.App");
  } catch (...) {
  }
}

void App::make_root() {
  try {
    root = tk::ctk().attr("CTk")();
  } catch (nb::python_error& e) {
    if (!e.matches(nb::module_::import_("tkinter").attr("TclError"))) throw;
    throw NoDisplay(nb::cast<std::string>(nb::str(e.value())));
  }
  root.attr("protocol")("WM_DELETE_WINDOW", command("on_close", &App::on_close));
}

void App::make_tool_folder() {
  const std::string tool_dir = tool_folder();
  const std::string base = path_dirname(tool_dir);
  ensure_dir(tool_dir);
  // Files of an earlier layout of the tool.
  delete_file(path_join(base, "verbix.png"));
  delete_file(path_join(base, "verbix.cfg"));
  root_dir = root_folder(utils.host, utils.is_script(), utils.file_dir(), full_path(""));
  ico_file = path_join(tool_dir, "tool.ico");
  cfg_file = path_join(tool_dir, "tool.cfg");
  utils.log_dir_and_file(path_join(tool_dir, "logs"), "log.txt");
  remove_leftover_temps(tool_dir, false);  // a tool.cfg save cut short leaves its temporary
}

void App::load_config() {
  cfg_data = ToolConfig{};
  if (is_regular_file(cfg_file)) {
    if (std::optional<Value> stored = dat_load(cfg_file)) cfg_data = config_merge(*stored);
  }
  config_correct(cfg_data);
}

void App::set_icon() {
  const std::string ico = str_2_buff(kVosselIco);
  buff_save(ico_file, ico);
  if (tk::windowing_system(root) == "win32") {
    root.attr("iconbitmap")(str_of(ico_file));
    return;
  }
  // Tk reads .ico files only on Windows; elsewhere the same picture goes in as a photo.
  const std::string png = ico_to_png(ico);
  if (png.empty()) return;
  icon_photo = nb::module_::import_("tkinter").attr("PhotoImage")(
      "master"_a = root, "data"_a = nb::bytes(png.data(), png.size()));
  root.attr("iconphoto")(true, icon_photo);
}

void App::set_geometry() {
  const int x = floor_div(nb::cast<int>(root.attr("winfo_screenwidth")()) - W, 2);
  const int y = floor_div(nb::cast<int>(root.attr("winfo_screenheight")()) - H, 2);
  const std::string size = std::to_string(W) + "x" + std::to_string(H);
  root.attr("geometry")(size);
  root.attr("geometry")(size + "+" + std::to_string(x) + "+" + std::to_string(y));
  root.attr("minsize")(W, H);
  root.attr("resizable")(true, false);
}

void App::build_widgets() {
  log_font = tk::font("Consolas", 12);
  gui_font = tk::font("Trebuchet MS", 18);

  main_frame = tk::make("CTkFrame", root, {});
  main_frame.attr("pack")("fill"_a = "both", "expand"_a = true);

  tab_frame =
      tk::make("CTkFrame", main_frame, {{"width", nb::int_(400)}, {"height", nb::int_(250)}});
  tab_frame.attr("pack")("side"_a = "left", "fill"_a = "y", "padx"_a = 5, "pady"_a = 5);
  tab_frame.attr("pack_propagate")(false);

  log_frame = tk::make("CTkFrame", main_frame, {});
  log_frame.attr("pack")("side"_a = "left", "fill"_a = "both", "expand"_a = true, "padx"_a = 10,
                         "pady"_a = 5);

  const tk::Options tab_options = {
      {"corner_radius", nb::int_(6)}, {"width", nb::int_(400)}, {"height", nb::int_(250)}};
  try {
    tk::Options with_font = tab_options;
    with_font.emplace_back("segmented_button_font", gui_font);
    tabview = tk::make("CTkTabview", tab_frame, with_font);
  } catch (nb::python_error& e) {
    // customtkinter before 6.0 has no option for the tab buttons' font.
    if (!e.matches(PyExc_ValueError)) throw;
    tabview = tk::make("CTkTabview", tab_frame, tab_options);
    tabview.attr("_segmented_button").attr("configure")("font"_a = gui_font);
  }
  tabview.attr("pack")("fill"_a = "both", "expand"_a = true);
  tab_new = tabview.attr("add")("Create");
  tab_upd = tabview.attr("add")("Update");
  tab_bld = tabview.attr("add")("Build");
  for (nb::handle tab : {tab_new, tab_upd, tab_bld}) {
    tab.attr("grid_propagate")(false);
    tab.attr("configure")("width"_a = 400, "height"_a = 250);
  }

  build_log_panel();
  build_create_tab();
  build_update_tab();
  build_build_tab();
}

void App::build_log_panel() {
  log_title = tk::make("CTkFrame", log_frame, {{"corner_radius", nb::int_(6)}});
  log_title.attr("pack")("fill"_a = "x", "padx"_a = 10, "pady"_a = nb::make_tuple(10, 0));
  log_label = tk::make("CTkLabel", log_title, {{"text", str_of("Logging")}, {"font", gui_font}});
  log_label.attr("pack")("side"_a = "left", "padx"_a = 10, "pady"_a = nb::make_tuple(10, 5));
  log_open = tk::make("CTkButton", log_title,
                      {{"text", str_of("Open Log Folder")},
                       {"font", gui_font},
                       {"command", command("open_logs", &App::open_logs)}});
  log_open.attr("pack")("side"_a = "right", "padx"_a = 10, "pady"_a = 10);
  log_text = tk::make("CTkTextbox", log_frame, {{"font", log_font}, {"state", tk::disabled()}});
  log_text.attr("pack")("padx"_a = 10, "pady"_a = 5, "fill"_a = "both", "expand"_a = true);
  log_inner = log_text.attr("_textbox");  // the Tk text widget inside the box
  build_progress();
}

bool App::load_data(const std::string& p_path) {
  if (p_path.empty()) return false;
  std::optional<Value> loaded = load_game_data(p_path);
  if (!loaded) return false;
  data = std::move(*loaded);
  append_log("Successfully loaded language data.");
  return true;
}

void App::locate_data(const std::string& first_file) {
  if (!first_file.empty() && load_data(first_file)) return;
  if (utils.is_script()) {
    if (!load_data("Data/lang.dat")) utils.crash("Failed to load language data.");
    return;
  }
  const std::string local_file = normpath(path_join(root_dir, "Translator.dat"));
  const std::string saved_file = cfg_data.language_file;
  if (load_data(local_file) || load_data(saved_file)) return;

  const std::string chosen_file = normpath(
      tk::ask_open_file(root, "Locate game's lang.dat file.", root_dir, {{"DAT files", "*.dat"}}));
  if (load_data(chosen_file)) {
    cfg_data.language_file = chosen_file;
    return;
  }
  report_error("Failed to locate a valid language data file.", this);
  end_process(1);
}

void App::end_process(int p_code) {
  utils.console.flush();
  std::fflush(nullptr);
  std::_Exit(p_code);
}

void App::on_close() {
  // A close during a command waits for its end (input_enable), so the command finishes with
  // its window and the settings it changed are saved.
  if (!blocked_.empty()) {
    close_pending_ = true;
    return;
  }
  cfg_data.create_format = tk::text(create_format_opt);
  cfg_data.create_images = tk::text(create_images_opt);
  cfg_data.update_target = tk::text(update_target_pth);
  cfg_data.update_format = tk::text(update_format_opt);
  cfg_data.update_images = tk::text(update_images_opt);
  cfg_data.update_backup = update_backup_tog.attr("get")().equal(nb::int_(1));
  cfg_data.build_target = tk::text(build_target_pth);
  cfg_data.build_output = tk::text(build_output_pth);
  dat_save(cfg_file, config_map(cfg_data));
  close_root();
}

nb::object App::command(const char* name, void (App::*method)()) {
  return commands_.make(name, [this, method] { (this->*method)(); });
}

void App::close_root() {
  if (!commands_.alive()) return;
  commands_.retire();
  if (root.is_valid()) tk::destroy_root(root);
}

int run_main(const std::vector<std::string>& argv) {
  const bool help = argv.size() == 1 && (argv[0] == "-h" || argv[0] == "--help");
  if (help || argv.size() > 1) {
    nb::module_::import_("sys")
        .attr(help ? "stdout" : "stderr")
        .attr("write")(
            "usage: verbix [LANG_DAT]\nOpens the translation tool; LANG_DAT is a "
            "language data file to load first.\n");
    return help ? 0 : 2;
  }
  try {
    App app(argv.empty() ? std::string() : argv[0]);
    app.root.attr("mainloop")();
  } catch (const NoDisplay& e) {
    nb::module_::import_("sys").attr("stderr").attr("write")(
        str_of(std::string("verbix: cannot open the window, no display: ") + e.what() + "\n"));
    return 1;
  }
  return 0;
}

}  // namespace verbix::py
