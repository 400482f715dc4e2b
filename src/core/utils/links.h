// Links in a project folder. The tool does not follow a link out of the folder the user
// chose, for reading, writing or deleting: these tell where one stands.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace verbix {

// Whether the path is itself a link: a symbolic link, or on Windows also a junction (a mount
// point). False when nothing is there or it cannot be examined.
bool is_link_path(std::string_view p_path);

// The first path from `p_folder` (excluded) down to `p_path` (included) that is a link, or
// nothing. `p_path` is a normalised path below the normalised `p_folder`; the parts that do
// not exist yet are no links.
std::optional<std::string> link_below(std::string_view p_folder, std::string_view p_path);

}  // namespace verbix
