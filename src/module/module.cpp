// The extension module `verbix`: the utilities object, the reporting functions and the
// data functions of the tool under their own names.
#include "bindings.h"

NB_MODULE(verbix, m) {
  m.doc() = "Translation tool for the game's language data.";
  verbix::py::install_host(m);
  verbix::py::bind_utils(m);
  verbix::py::bind_text(m);
}
