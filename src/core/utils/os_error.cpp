#include "utils/os_error.h"

namespace verbix {
namespace {

std::string describe(const std::error_code& code, const std::string& path) {
  std::string text;
#ifdef _WIN32
  if (code.category() == std::system_category())
    text = "[WinError " + std::to_string(code.value()) + "] " + code.message();
  else
#endif
    text = "[Errno " + std::to_string(code.value()) + "] " + code.message();
  if (!path.empty()) text += ": '" + path + "'";
  return text;
}

}  // namespace

OsError::OsError(std::error_code code, const std::string& path)
    : std::runtime_error(describe(code, path)), code_(code) {}

OsError OsError::from_errno(int err, const std::string& path) {
  return OsError(std::error_code(err, std::generic_category()), path);
}

}  // namespace verbix
