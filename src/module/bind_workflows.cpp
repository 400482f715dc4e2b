// The Check, Update and Build workflows under their own names, for scripts and tests that run
// them without the window: `check_translation`, `update_translation` and `build_translation`,
// taking the game's record as a dict and any window-like `p_app` (or None).
#include <nanobind/stl/string.h>

#include "app/build_project.h"
#include "app/update_project.h"
#include "bindings.h"
#include "py_value.h"
#include "py_window.h"
#include "utils/paths.h"

namespace verbix::py {

using namespace nb::literals;

void bind_workflows(nb::module_& m) {
  m.def(
      "check_translation",
      [](nb::handle p_game, nb::handle p_target, nb::handle p_app) -> nb::object {
        WindowArg window(p_app);
        return to_python_or_none(
            check_translation(from_python(p_game), full_path(path_arg(p_target)), window.get()));
      },
      "p_game"_a, "p_target"_a, "p_app"_a = nb::none(),
      "Reports what an update of the translation file against the game's record would change; "
      "the merged record, or None when the file gave no data.");
  m.def(
      "update_translation",
      [](nb::handle p_game, nb::handle p_target, std::string p_format, std::string p_images,
         bool p_backup, nb::handle p_app) -> nb::object {
        WindowArg window(p_app);
        return to_python_or_none(update_translation(
            from_python(p_game),
            {full_path(path_arg(p_target)), std::move(p_format), std::move(p_images), p_backup},
            window.get()));
      },
      "p_game"_a, "p_target"_a, "p_format"_a, "p_images"_a, "p_backup"_a, "p_app"_a = nb::none(),
      "Updates the translation file against the game's record; the merged record, or None after "
      "a stop. Without p_app no question is asked.");
  m.def(
      "build_translation",
      [](nb::handle p_game, nb::handle p_target, nb::handle p_output, nb::handle p_app) {
        WindowArg window(p_app);
        const Value game = from_python(p_game);
        return build_translation(
            game,
            {.target = full_path(path_arg(p_target)), .output = full_path(path_arg(p_output))},
            window.get());
      },
      "p_game"_a, "p_target"_a, "p_output"_a, "p_app"_a = nb::none(),
      "The Build workflow: the project of the dialogue file p_target, checked against the "
      "game's record and compiled into p_output; True when the language file was written.");
}

}  // namespace verbix::py
