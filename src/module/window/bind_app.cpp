// `verbix.App`, the window, with its methods and widgets under their own names so that
// scripts and tests drive the real window; `verbix.main`, the entry of the `verbix` command;
// and the window's module-level settings.
#include <nanobind/stl/string.h>
#include <nanobind/stl/vector.h>

#include "py_value.h"
#include "utils/log_service.h"
#include "window/app_window.h"
#include "window/vossel_ico.inc"

namespace verbix::py {
namespace {

using namespace nb::literals;

template <size_t N>
nb::list string_list(const std::array<std::string_view, N>& options) {
  nb::list out;
  for (std::string_view v : options) out.append(nb::str(v.data(), v.size()));
  return out;
}

nb::dict config_dict(const ToolConfig& c) {
  nb::dict d;
  d["create_format"] = c.create_format;
  d["create_images"] = c.create_images;
  d["update_target"] = c.update_target;
  d["update_format"] = c.update_format;
  d["update_images"] = c.update_images;
  d["update_backup"] = c.update_backup;
  d["build_target"] = c.build_target;
  d["build_output"] = c.build_output;
  d["language_file"] = c.language_file;
  return d;
}

// The toolkit's look, set before any widget exists. A missing toolkit is reported when the
// window is opened, not when the module is imported for its data functions.
void set_toolkit_look() {
  try {
    nb::module_ ctk = nb::module_::import_("customtkinter");
    ctk.attr("set_appearance_mode")("System");
    ctk.attr("set_default_color_theme")("blue");
  } catch (nb::python_error& e) {
    if (!e.matches(PyExc_ImportError)) throw;
  }
}

int main_entry(nb::handle argv) {
  std::vector<std::string> args;
  if (argv.is_none()) {
    nb::list all = nb::list(nb::module_::import_("sys").attr("argv"));
    for (size_t i = 1; i < nb::len(all); ++i) args.push_back(path_arg(all[i]));
  } else {
    for (nb::handle a : argv) args.push_back(path_arg(a));
  }
  return run_main(args);
}

using Member = nb::object App::*;

void widget(nb::class_<App>& cls, const char* name, Member member) {
  cls.def_prop_ro(name, [member](App& a) { return a.*member; });
}

void bind_widgets(nb::class_<App>& cls) {
  const std::pair<const char*, Member> widgets[] = {
      {"root", &App::root},
      {"main_frame", &App::main_frame},
      {"tab_frame", &App::tab_frame},
      {"log_frame", &App::log_frame},
      {"tabview", &App::tabview},
      {"tab_new", &App::tab_new},
      {"tab_upd", &App::tab_upd},
      {"tab_bld", &App::tab_bld},
      {"log_title", &App::log_title},
      {"log_label", &App::log_label},
      {"log_open", &App::log_open},
      {"log_text", &App::log_text},
      {"progress_frame", &App::progress_frame},
      {"progress_lbl", &App::progress_lbl},
      {"progress_bar", &App::progress_bar},
      {"create_folder_lbl", &App::create_folder_lbl},
      {"create_folder_inp", &App::create_folder_inp},
      {"create_format_lbl", &App::create_format_lbl},
      {"create_format_opt", &App::create_format_opt},
      {"create_images_lbl", &App::create_images_lbl},
      {"create_images_opt", &App::create_images_opt},
      {"create_folder_btn", &App::create_folder_btn},
      {"update_target_lbl", &App::update_target_lbl},
      {"update_target_pth", &App::update_target_pth},
      {"update_target_btn", &App::update_target_btn},
      {"update_images_lbl", &App::update_images_lbl},
      {"update_images_opt", &App::update_images_opt},
      {"update_format_lbl", &App::update_format_lbl},
      {"update_format_opt", &App::update_format_opt},
      {"update_backup_lbl", &App::update_backup_lbl},
      {"update_backup_tog", &App::update_backup_tog},
      {"update_check_btn", &App::update_check_btn},
      {"update_button", &App::update_button},
      {"build_target_lbl", &App::build_target_lbl},
      {"build_target_pth", &App::build_target_pth},
      {"build_target_sel", &App::build_target_sel},
      {"build_output_lbl", &App::build_output_lbl},
      {"build_output_pth", &App::build_output_pth},
      {"build_output_sel", &App::build_output_sel},
      {"build_button", &App::build_button},
  };
  for (const auto& [name, member] : widgets) widget(cls, name, member);
  cls.def_prop_ro("log_font", [](App& a) { return a.log_font; })
      .def_prop_ro("gui_font", [](App& a) { return a.gui_font; });
}

void bind_methods(nb::class_<App>& cls) {
  cls.def(
         "load_data", [](App& a, nb::handle p) { return a.load_data(path_arg(p)); }, "p_path"_a)
      .def("on_close", &App::on_close)
      .def(
          "append_log", [](App& a, nb::handle m) { a.append_log(text_of(m)); }, "p_msg"_a)
      .def("clear_log", &App::clear_log)
      .def("save_log", &App::save_log)
      .def("open_logs", &App::open_logs)
      .def("input_disable", &App::input_disable)
      .def("input_enable", &App::input_enable)
      .def(
          "set_lbl", [](App& a, nb::handle l, nb::handle t) { a.set_lbl(l, text_of(t)); },
          "p_label"_a, "p_text"_a)
      .def(
          "sel_file",
          [](App& a, nb::handle p, nb::handle t) { return a.sel_file(path_arg(p), text_of(t)); },
          "p_path"_a, "p_title"_a)
      .def(
          "sel_dir",
          [](App& a, nb::handle p, nb::handle t) { return a.sel_dir(path_arg(p), text_of(t)); },
          "p_path"_a, "p_title"_a)
      .def(
          "popup_error",
          [](App& a, nb::handle m, nb::handle t) { a.popup_error(text_of(m), text_of(t)); },
          "p_msg"_a, "p_title"_a = "Error")
      .def(
          "popup_yes_no",
          [](App& a, nb::handle m, nb::handle t) { return a.popup_yes_no(text_of(m), text_of(t)); },
          "p_msg"_a, "p_title"_a = "Confirm")
      .def("generate_folder", &App::generate_folder)
      .def("sel_update_file", &App::sel_update_file)
      .def("get_update_file", &App::get_update_file)
      .def("verify", [](App& a) { return to_python_or_none(a.verify()); })
      .def("check", &App::check)
      .def("update", [](App& a) { return to_python_or_none(a.update()); })
      .def("get_src_pth", &App::get_src_pth)
      .def("get_dst_pth", &App::get_dst_pth)
      .def("sel_build_src", &App::sel_build_src)
      .def("sel_build_dst", &App::sel_build_dst)
      .def("build", &App::build)
      // The window's own operations (title, geometry, update, ...) are those of its Tk root.
      .def("__getattr__", [](App& a, nb::str name) { return nb::getattr(a.root, name); });
}

}  // namespace

void bind_app(nb::module_& m) {
  m.attr("W") = W;
  m.attr("H") = H;
  m.attr("PAD_Y") = PAD_Y;
  set_toolkit_look();
  m.attr("VOSSEL_ICO") = kVosselIco;
  m.attr("OPT_FORMAT") = string_list(OPT_FORMAT);
  m.attr("OPT_IMAGES") = string_list(OPT_IMAGES);
  m.attr("OPT_CHANGE") = string_list(OPT_CHANGE);
  m.attr("DEFAULT_CFG") = config_dict(ToolConfig{});

  nb::class_<App> cls(m, "App", "The translation tool's window.");
  cls.def(nb::init<std::string>(), "p_first_file"_a = "",
          "Opens the window: tool folder, configuration, widgets, the game's language data.")
      .def_ro("root_dir", &App::root_dir)
      .def_ro("ico_file", &App::ico_file)
      .def_ro("cfg_file", &App::cfg_file)
      .def_prop_ro("cfg_data", [](App& a) { return config_dict(a.cfg_data); })
      .def_prop_ro("data", [](App& a) { return to_python(a.data); })
      .def_prop_ro("is_open", &App::is_open);
  bind_widgets(cls);
  bind_methods(cls);

  m.def("main", &main_entry, "argv"_a = nb::none(),
        "Opens the window and runs it until it is closed; argv defaults to sys.argv[1:].");
}

}  // namespace verbix::py
