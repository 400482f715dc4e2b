#include "utils/data_paths.h"

#include <array>
#include <cstdio>

namespace verbix {
namespace {

constexpr std::string_view kLeaves = "leads out of its folder";
constexpr std::string_view kAbsolute = "is an absolute path";
constexpr std::string_view kColon = "holds a drive or stream colon";

// Device names that Windows opens as devices whatever the extension ("NUL.png", "con").
bool is_device_name(std::string_view part) {
  static constexpr std::array<std::string_view, 4> plain{"CON", "PRN", "AUX", "NUL"};
  std::string stem(part.substr(0, part.find('.')));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  for (char& c : stem)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  for (std::string_view name : plain)
    if (stem == name) return true;
  return stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) &&
         stem[3] >= '1' && stem[3] <= '9';
}

// The fault of one part of a name, separators already split off.
std::optional<std::string> part_fault(std::string_view part) {
  for (char c : part) {
    const auto u = static_cast<unsigned char>(c);
    if (u == 0) return "holds a NUL byte";
    if (u < 0x20 || u == 0x7f) return "holds a control character";
    if (c == ':') return std::string(kColon);
    if (std::string_view("<>\"|?*").find(c) != std::string_view::npos)
      return "holds the character " + std::string(1, c) + ", which Windows forbids in file names";
  }
  if (part == "..") return std::string(kLeaves);
  if (is_device_name(part)) return "is a device name on Windows";
  return std::nullopt;
}

}  // namespace

std::optional<std::string> file_name_fault(std::string_view p_name) {
  if (p_name.find('\0') != std::string_view::npos) return "holds a NUL byte";
  if (p_name.find_first_of("/\\") != std::string_view::npos) return "holds a path separator";
  if (p_name == ".") return "is not a file name";
  return part_fault(p_name);
}

std::optional<std::string> relative_path_fault(std::string_view p_key) {
  // A NUL byte is named first, whatever else the key holds: it is what cuts a path short.
  if (p_key.find('\0') != std::string_view::npos) return "holds a NUL byte";
  if (!p_key.empty() && (p_key.front() == '/' || p_key.front() == '\\'))
    return std::string(kAbsolute);
  size_t start = 0;
  for (size_t i = 0; i <= p_key.size(); ++i) {
    if (i < p_key.size() && p_key[i] != '/' && p_key[i] != '\\') continue;
    if (std::optional<std::string> fault = part_fault(p_key.substr(start, i - start))) return fault;
    start = i + 1;
  }
  return std::nullopt;
}

bool fault_leaves_folder(std::string_view p_fault) {
  return p_fault == kLeaves || p_fault == kAbsolute || p_fault == kColon;
}

std::string shown_name(std::string_view p_name) {
  std::string out;
  for (char c : p_name) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7f) {
      char buf[5];
      std::snprintf(buf, sizeof buf, "\\x%02x", u);
      out += buf;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace verbix
