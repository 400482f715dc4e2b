// The error raised by the core's own file and process primitives: an operating-system
// failure with its code and the path it concerns, worded as the host's error text
// ("[Errno 2] No such file or directory: '/p'") so that log lines read the same everywhere.
#pragma once

#include <stdexcept>
#include <string>
#include <system_error>

namespace verbix {

class OsError : public std::runtime_error {
 public:
  // `code` is the failing call's error; `path` is empty when the failure concerns no path.
  OsError(std::error_code code, const std::string& path);
  // An errno value from the C library.
  static OsError from_errno(int err, const std::string& path);

  const std::error_code& code() const { return code_; }

 private:
  std::error_code code_;
};

}  // namespace verbix
