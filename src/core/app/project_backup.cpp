#include "app/project_backup.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <vector>

#include "utils/file_io.h"
#include "utils/log_service.h"
#include "utils/os_error.h"
#include "utils/paths.h"

namespace verbix {

namespace fs = std::filesystem;

std::optional<std::string> make_backup_folder(const std::string& p_project,
                                              const std::string& p_stamp) {
  const std::string base = path_join(p_project, "backup_" + p_stamp);
  for (int n = 1; n < 1000; ++n) {
    const std::string folder = n == 1 ? base : base + "_" + std::to_string(n);
    std::error_code ec;
    // create_directory is false for a name already taken: the next suffix is tried.
    if (fs::create_directory(fs_path(folder), ec)) return folder;
    if (ec) {
      utils.fail("Failed to create backup folder: " + std::string(OsError(ec, folder).what()));
      return std::nullopt;
    }
  }
  utils.fail("Failed to create backup folder: every name is taken: " + base);
  return std::nullopt;
}

std::optional<std::string> back_up_file(const std::string& p_src, const std::string& p_dst) {
  try {
    std::ifstream in(fs_path(p_src), std::ios::binary);
    if (!in) throw OsError::from_errno(ENOENT, p_src);
    std::error_code ec;
    fs::create_directories(fs_path(path_dirname(p_dst)), ec);
    if (ec) throw OsError(ec, path_dirname(p_dst));
    ReplacingFile out(p_dst);
    std::vector<char> chunk(1 << 20);
    while (in) {
      in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
      out.write(std::string_view(chunk.data(), static_cast<size_t>(in.gcount())));
    }
    if (in.bad()) throw OsError::from_errno(EIO, p_src);
    out.commit();
    copy_modification_time(p_src, p_dst);
    utils.info("Copied file: " + p_src + " to " + p_dst);
    return std::nullopt;
  } catch (const OsError& e) {
    utils.fail("Failed to copy file '" + p_src + "' to '" + p_dst + "': " + e.what());
    return std::string(e.what());
  }
}

}  // namespace verbix
