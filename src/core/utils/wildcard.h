// Shell-style wildcards for file names: "*" any run of characters, "?" one character,
// "[abc]", "[a-z]" and "[!abc]" sets; a "[" without its "]" is literal. Names compare
// without letter case on Windows, as the platform does.
#pragma once

#include <string_view>

namespace verbix {

bool wildcard_match(std::string_view pattern, std::string_view name);

}  // namespace verbix
