// What the Create and Update workflows share for a project's images: where an image of the
// record lands in the project folder, and writing it without ending the process on failure.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace verbix {

// The normalised path of key + ".png" under `p_folder`, or nothing when the key would land
// outside the folder (an absolute key, a drive or stream colon, a ".." component) or could not
// be a file name (a NUL byte, a character or device name Windows forbids).
std::optional<std::string> image_path_in(std::string_view p_folder, std::string_view p_key);

// The log line for a key that image_path_in refused: why it was refused, the key shown with
// its control characters escaped.
std::string image_refusal(std::string_view p_key);

// Writes an image's bytes through a temporary file beside it, making missing folders:
// 0 on success, 1 (with an error line in the log) on failure. Unlike buff_save it does not
// end the process, so one unwritable image stops the workflow with its message.
int save_image(const std::string& p_file, std::string_view p_bytes);

}  // namespace verbix
