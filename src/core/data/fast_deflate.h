// One-shot compression of a whole byte string into a zlib stream with libdeflate, two to three
// times faster than zlib, in builds that have it (VERBIX_HAVE_LIBDEFLATE). Its stream differs
// from zlib's byte for byte (any zlib reader reads it): only for files the tool alone reads.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace verbix {

// The zlib stream of `data` at libdeflate's level `level` (1 fastest .. 12), or std::nullopt
// when the build lacks libdeflate. Throws std::bad_alloc when memory runs out.
std::optional<std::string> fast_deflate(std::string_view data, int level);

}  // namespace verbix
