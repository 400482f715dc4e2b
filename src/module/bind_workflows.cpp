// The Check and Update workflows under their own names, for scripts and tests that run them
// without the window: `check_translation` and `update_translation`, taking the game's record
// as a dict and any window-like `p_app` (or None).
#include <nanobind/stl/string.h>

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
        std::optional<Value> merged =
            check_translation(from_python(p_game), full_path(path_arg(p_target)), window.get());
        if (!merged) return nb::none();
        return to_python(std::move(*merged));
      },
      "p_game"_a, "p_target"_a, "p_app"_a = nb::none(),
      "Reports what an update of the translation file against the game's record would change; "
      "the merged record, or None when the file gave no data.");
  m.def(
      "update_translation",
      [](nb::handle p_game, nb::handle p_target, std::string p_format, std::string p_images,
         bool p_backup, nb::handle p_app) -> nb::object {
        WindowArg window(p_app);
        std::optional<Value> merged = update_translation(
            from_python(p_game),
            {full_path(path_arg(p_target)), std::move(p_format), std::move(p_images), p_backup},
            window.get());
        return merged ? to_python(std::move(*merged)) : nb::none();
      },
      "p_game"_a, "p_target"_a, "p_format"_a, "p_images"_a, "p_backup"_a, "p_app"_a = nb::none(),
      "Updates the translation file against the game's record; the merged record, or None after "
      "a stop. Without p_app no question is asked.");
}

}  // namespace verbix::py
