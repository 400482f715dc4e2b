#include "utils/root_folder.h"

#include <gtest/gtest.h>

#include "utils/paths.h"

namespace verbix {
namespace {

// Projects go beside a packaged tool, beside the script in development, and into the folder
// the command was started in when the host is a Python interpreter (the console script).
TEST(RootFolder, ByHost) {
  struct Case {
    const char* executable;
    bool script;
    const char* file_dir;
    bool started_in;  // the start folder, else the folder of file_dir
  };
  const Case cases[] = {
      {"/opt/tool/Translation Tool.exe", false, "/opt/tool/Translation Tool.exe", false},
      {"/venv/bin/python3.12", false, "/venv/bin/python3.12", true},
      {"/venv/bin/python", false, "/venv/bin/python", true},
      {"/usr/bin/PythonW.exe", false, "/usr/bin/PythonW.exe", true},
      {"/venv/bin/python", true, "/src/tool/main.py", false},
  };
  for (const Case& c : cases) {
    const HostFacts host{.module_file = "m", .main_file = "", .executable = c.executable};
    const std::string expected = c.started_in ? "/home/ana/work" : path_dirname(c.file_dir);
    EXPECT_EQ(root_folder(host, c.script, c.file_dir, "/home/ana/work"), expected) << c.executable;
  }
}

}  // namespace
}  // namespace verbix
