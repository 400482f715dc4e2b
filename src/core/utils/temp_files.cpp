#include "utils/temp_files.h"

#include <filesystem>
#include <random>
#include <vector>

#include "utils/log_service.h"
#include "utils/os_error.h"
#include "utils/paths.h"

namespace verbix {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kMarker = ".tmp-verbix-";
constexpr size_t kDigits = 6;

}  // namespace

std::string temp_name_for(std::string_view p_path) {
  static std::mt19937_64 rng{std::random_device{}()};
  std::string digits = std::to_string(rng() % 1000000);
  digits.insert(0, kDigits - digits.size(), '0');
  return std::string(p_path) + std::string(kMarker) + digits;
}

bool is_temp_name(std::string_view p_name) {
  if (p_name.size() <= kMarker.size() + kDigits) return false;
  const std::string_view tail = p_name.substr(p_name.size() - kMarker.size() - kDigits);
  if (!tail.starts_with(kMarker)) return false;
  for (char c : tail.substr(kMarker.size()))
    if (c < '0' || c > '9') return false;
  return true;
}

size_t remove_leftover_temps(std::string_view p_folder, bool p_recursive) {
  size_t removed = 0;
  std::error_code ec;
  std::vector<std::string> pending{std::string(p_folder)};
  while (!pending.empty()) {
    const std::string dir = std::move(pending.back());
    pending.pop_back();
    for (fs::directory_iterator it(fs_path(dir), ec), end; !ec && it != end; it.increment(ec)) {
      std::error_code kind_ec;
      const fs::file_status status = it->symlink_status(kind_ec);
      const std::string path = path_text(it->path());
      if (fs::is_directory(status)) {
        if (p_recursive) pending.push_back(path);
        continue;
      }
      if (!fs::is_regular_file(status) || !is_temp_name(path_text(it->path().filename()))) continue;
      std::error_code remove_ec;
      if (fs::remove(it->path(), remove_ec)) {
        utils.info("Removed leftover temporary file: " + path);
        ++removed;
      } else if (remove_ec) {
        utils.fail("Failed to remove leftover temporary file: " +
                   std::string(OsError(remove_ec, path).what()));
      }
    }
    ec.clear();
  }
  return removed;
}

}  // namespace verbix
