// The error of the data layer: a failure that is not the operating system's (bad data, a
// broken format, a value of the wrong kind), carrying the text that reaches the user, worded
// as Python words the same failure ("pickle data was truncated", "expected str, got int").
#pragma once

#include <stdexcept>

namespace verbix {

class DataError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace verbix
