// The project folder reader and the compiler under their own names: `dlg_file`, `dlg_data`,
// `dir_pngs`, `dlg_2_dat`, `dir_2_dat`, `buff_2_str` (never compressing), `SIGNATURE` and
// `compile`, and the Build workflow `build_translation`, taking and returning Python values.
#include <nanobind/stl/string.h>

#include "bindings.h"
#include "data/base64.h"
#include "project/compiler.h"
#include "project/project_reader.h"
#include "py_value.h"
#include "py_window.h"
#include "utils/paths.h"

namespace verbix::py {
namespace {

using namespace nb::literals;

nb::tuple read_pair(DialogueRead&& read) {
  return nb::make_tuple(to_python(std::move(read.data)), to_python(read.meta.to_value()));
}

}  // namespace

void bind_project(nb::module_& m) {
  m.attr("SIGNATURE") = nb::bytes(SIGNATURE.data(), SIGNATURE.size());
  m.def(
      "dlg_file", [](nb::handle p_dir) { return dlg_file(path_arg(p_dir)); }, "p_dir"_a,
      "The project's dialogue.txt, else its dialogue.csv, else ''.");
  m.def(
      "dlg_data",
      [](nb::handle p_file, nb::handle p_app) {
        WindowArg window(p_app);
        return read_pair(dlg_data(path_arg(p_file), window.get()));
      },
      "p_file"_a, "p_app"_a = nb::none(),
      "The record and DialogueMeta of one dialogue file; ({}, {}) when nothing was read.");
  m.def(
      "dir_pngs",
      [](nb::handle p_path, nb::handle p_app) -> nb::object {
        WindowArg window(p_app);
        std::optional<Map> images = dir_pngs(path_arg(p_path), window.get());
        if (!images) return nb::none();
        return to_python(Value(std::move(*images)));
      },
      "p_path"_a, "p_app"_a = nb::none(),
      "Image key ('.png' kept) -> bytes for every PNG below the folder; None after a file "
      "could not be read.");
  m.def(
      "dlg_2_dat",
      [](nb::handle p_file, nb::handle p_app) {
        WindowArg window(p_app);
        return read_pair(dlg_2_dat(path_arg(p_file), window.get()));
      },
      "p_file"_a, "p_app"_a = nb::none(),
      "The whole project read from its dialogue file: record with font and images, and meta.");
  m.def(
      "dir_2_dat",
      [](nb::handle p_dir, nb::handle p_app) {
        WindowArg window(p_app);
        return read_pair(dir_2_dat(path_arg(p_dir), window.get()));
      },
      "p_dir"_a, "p_app"_a = nb::none(), "dlg_2_dat of the folder's dialogue file.");
  m.def(
      "buff_2_str",
      [](nb::handle p_buff) {
        BytesArg bytes(p_buff);
        if (!bytes.ok()) throw nb::type_error(bytes_required(p_buff).c_str());
        return base64_encode(bytes.view());
      },
      "p_buff"_a, "The base64 text of the bytes, uncompressed.");
  m.def(
      "compile",
      [](nb::handle p_path, nb::handle p_data, nb::handle p_meta, nb::handle p_app) {
        WindowArg window(p_app);
        const Value data = from_python(p_data);
        const DialogueMeta meta =
            p_meta.is_none() ? DialogueMeta() : DialogueMeta::from_value(from_python(p_meta));
        return compile(path_arg(p_path), data, meta, window.get());
      },
      "p_path"_a, "p_data"_a, "p_meta"_a = nb::none(), "p_app"_a = nb::none(),
      "Writes the game's language file of the record; False when refused, aborted or failed.");
}

}  // namespace verbix::py
