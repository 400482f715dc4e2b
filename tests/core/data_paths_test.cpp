#include "utils/data_paths.h"

#include <gtest/gtest.h>

namespace verbix {
namespace {

using namespace std::string_literals;

TEST(DataPaths, FileNames) {
  for (std::string name : {"Deutsch.cld"s, "Español.cld"s, ".cld"s, "...cld"s, "a b.cld"s,
                           "CONSOLE.cld"s, "COM0.cld"s})
    EXPECT_EQ(file_name_fault(name), std::nullopt) << name;
  const std::pair<std::string, std::string> refused[] = {
      {"a\0b.cld"s, "holds a NUL byte"},
      {"x.cld\0"s, "holds a NUL byte"},
      {"../x.cld", "holds a path separator"},
      {"a/b.cld", "holds a path separator"},
      {"..\\x.cld", "holds a path separator"},
      {"/abs.cld", "holds a path separator"},
      {"C:x.cld", "holds a drive or stream colon"},
      {"a\tb.cld", "holds a control character"},
      {"a?.cld", "holds the character ?, which Windows forbids in file names"},
      {"a\".cld", "holds the character \", which Windows forbids in file names"},
      {"nul.cld", "is a device name on Windows"},
      {"COM1.cld", "is a device name on Windows"},
      {".", "is not a file name"},
      {"..", "leads out of its folder"}};
  for (const auto& [name, fault] : refused) EXPECT_EQ(file_name_fault(name), fault) << name;
}

TEST(DataPaths, RelativePaths) {
  for (std::string key : {""s, "img/ui/title"s, "img\\ui\\title"s, "a..b"s, "x/./y"s, "..a"s})
    EXPECT_EQ(relative_path_fault(key), std::nullopt) << key;
  const std::pair<std::string, std::string> refused[] = {
      {"dialogue.txt\0"s, "holds a NUL byte"},
      {"../x\0"s, "holds a NUL byte"},
      {"/abs", "is an absolute path"},
      {"\\abs", "is an absolute path"},
      {"img/../../x", "leads out of its folder"},
      {"a\\..", "leads out of its folder"},
      {"c:/x", "holds a drive or stream colon"},
      {"img/aux/x", "is a device name on Windows"},
      {"img/a|b", "holds the character |, which Windows forbids in file names"}};
  for (const auto& [key, fault] : refused) {
    EXPECT_EQ(relative_path_fault(key), fault) << key;
    EXPECT_EQ(fault_leaves_folder(fault), fault == "is an absolute path" ||
                                              fault == "leads out of its folder" ||
                                              fault == "holds a drive or stream colon");
  }
  EXPECT_EQ(shown_name("dialogue.txt\0"s), "dialogue.txt\\x00");
}

}  // namespace
}  // namespace verbix
