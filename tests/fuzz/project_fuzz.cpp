// Fuzz target of the project reader: the input, after one byte that picks the form, is the
// dialogue file of a project folder, read as Build reads it (file, font, images).
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "project/project_reader.h"
#include "quiet_window.h"
#include "utils/file_io.h"
#include "utils/paths.h"

namespace {

std::string project_folder;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  verbix::fuzzing::add_seed_sections();
  verbix::fuzzing::quiet_log();
  char templ[] = "/tmp/verbix-project-fuzz-XXXXXX";
  if (!mkdtemp(templ)) std::abort();
  project_folder = templ;
  std::atexit([] { std::system(("rm -rf '" + project_folder + "'").c_str()); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool csv = data[0] & 1;
  const std::string file = verbix::path_join(project_folder, csv ? "dialogue.csv" : "dialogue.txt");
  const std::string other =
      verbix::path_join(project_folder, csv ? "dialogue.txt" : "dialogue.csv");
  unlink(other.c_str());
  verbix::write_file(file, std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
  verbix::fuzzing::QuietInput input;
  verbix::fuzzing::QuietWindow& window = input.window;
  verbix::dlg_2_dat(file, &window);
  return 0;
}
