// The folder the window starts its dialogs in and creates projects in (`root_dir`). The
// packaged tool keeps its projects beside itself: the folder of its own executable. Started
// through a Python interpreter (the `verbix` console script, `python -c ...`), the executable
// is the interpreter, whose folder (a venv's bin, the Python installation) is no place for a
// translator's projects: the folder the command was started in is used instead.
#pragma once

#include <string>

#include "utils/log_service.h"

namespace verbix {

// Whether the host executable is a Python interpreter ("python", "python3.12", "python.exe",
// "pythonw.exe" in any case), not a tool of its own.
bool host_is_python(const HostFacts& p_host);

// The root folder for the host: the parent of `file_dir` (the main script's or the
// executable's folder, as `import_utils::file_dir` says) for a script or a packaged tool;
// `p_start_dir`, the working folder at start-up, under a Python interpreter.
std::string root_folder(const HostFacts& p_host, bool p_is_script, const std::string& p_file_dir,
                        const std::string& p_start_dir);

}  // namespace verbix
