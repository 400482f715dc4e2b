// The pieces of the extension module, each binding one part of the core.
#pragma once

#include <nanobind/nanobind.h>
#include <nanobind/stl/string.h>

#include <string>

#include "dependency_host.h"

namespace verbix {
class import_utils;
}  // namespace verbix

namespace verbix::py {

namespace nb = nanobind;

// Points the core's console and host facts at the Python host that imports the module.
void install_host(nb::module_& m);

// The dependency check's facilities, served by the Python host.
DependencyHost& python_dependency_host();

// `verbix.utils` (the utilities object) and the module-level `info` and `error`.
void bind_utils(nb::module_& m);

// The language data functions and constant lists, and the container and encoder
// operations of `verbix.utils`.
void bind_data(nb::module_& m, nb::class_<import_utils>& utils_cls);

// The TXT form: `sort_values`, `dat_2_txt`, `txt_2_dat`.
void bind_txt(nb::module_& m);

// The comparison: `data_hash`, `data_compare`, `hash_path`.
void bind_compare(nb::module_& m);

// The CSV form: `CSV_BLOCKS`, `is_section_header`, `new_block`, `dat_2_csv`, `csv_2_dat`.
void bind_csv(nb::module_& m);

// The project folder reader and the compiler: `dlg_file`, `dlg_data`, `dir_pngs`,
// `dlg_2_dat`, `dir_2_dat`, `buff_2_str`, `SIGNATURE`, `compile`.
void bind_project(nb::module_& m);

// The Check, Update and Build workflows: `check_translation`, `update_translation`,
// `build_translation`.
void bind_workflows(nb::module_& m);

// `verbix._text`, the core's text rules, for tests against CPython.
void bind_text(nb::module_& m);

// `verbix.App`, the window, `verbix.main` and the window's module-level settings.
void bind_app(nb::module_& m);

// A path argument: a str or any os.PathLike, as UTF-8 text.
std::string path_arg(nb::handle value);

// The text form of any value, as str() gives it.
std::string text_of(nb::handle value);

}  // namespace verbix::py
