// The choices of an update, by the names the window's combo boxes and the command line show:
// the image policies and the form a chosen translation file is taken to be in.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace verbix {

// The image policies of an update; any other text behaves as "Replace Missing".
inline constexpr std::string_view kReplaceAll = "Replace All";
inline constexpr std::string_view kReplaceMissing = "Replace Missing";
inline constexpr std::string_view kChangeNothing = "Change Nothing";
// Replaces and adds the game's images except those the translator changed (the file differs
// from the baseline's image); without a baseline, as "Replace Missing".
inline constexpr std::string_view kReplaceUntranslated = "Replace Untranslated";
inline constexpr std::array<std::string_view, 4> OPT_CHANGE = {
    kReplaceAll, kReplaceMissing, kChangeNothing, kReplaceUntranslated};

// "CSV" for a file whose name ends in "csv" (any case), else "TXT": the format that choosing
// a translation file sets.
inline std::string format_of_file(std::string_view p_path) {
  if (p_path.size() < 3) return "TXT";
  std::string tail(p_path.substr(p_path.size() - 3));
  for (char& c : tail)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return tail == "CSV" ? "CSV" : "TXT";
}

}  // namespace verbix
