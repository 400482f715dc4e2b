// The window icon in the form Tk's photos read: the first image of a Windows icon file as
// PNG bytes, for the systems on which Tk cannot take the .ico itself.
#pragma once

#include <string>
#include <string_view>

namespace verbix::py {

// The PNG of the icon file's first image: its own bytes when stored PNG-compressed, else its
// 32-bit bitmap (with the AND mask for pixels without alpha) encoded as PNG. Empty when the
// file is not an icon of one of these kinds.
std::string ico_to_png(std::string_view p_ico);

}  // namespace verbix::py
