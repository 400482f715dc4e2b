// The extension module `verbix`: the utilities object, the reporting functions and the
// data functions of the tool under their own names.
#include "bindings.h"
#include "utils/log_service.h"
#include "utils/memory.h"

NB_MODULE(verbix, m) {
  m.doc() = "Translation tool for the game's language data.";
  verbix::tune_allocator();
  verbix::py::install_host(m);
  // The source form makes sure its GUI package is there; the built module skips this.
  verbix::DependencyCheck(verbix::utils, verbix::py::python_dependency_host())
      .ensure_installation({"customtkinter"});
  verbix::py::bind_utils(m);
  verbix::py::bind_csv(m);
  verbix::py::bind_txt(m);
  verbix::py::bind_compare(m);
  verbix::py::bind_project(m);
  verbix::py::bind_workflows(m);
  verbix::py::bind_text(m);
  verbix::py::bind_app(m);
}
