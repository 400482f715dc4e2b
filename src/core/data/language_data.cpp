#include "data/language_data.h"

#include "data/container.h"

namespace verbix {

std::vector<std::string> SECTIONS = {"VERSION", "LANGUAGE", "FONT",  "CREDITS",     "LABELS",
                                     "MENUS",   "SPEAKERS", "ITEMS", "DESCRIPTIONS"};

const std::vector<std::string> SECTION_HEADER = {"ID", "Source", "English", "Translation"};
const std::vector<std::string> FONT_TYPES = {".ttf", ".otf", ".eot", ".svg", ".woff", ".woff2"};
const std::vector<std::string> FONT_FACES = {"gamefont", "verdana", "arial", "courier new"};

Value data_new() {
  return Value(Map{
      {"ver_hash", ""},
      {"lng_name", "English"},
      {"lng_info", List{"", "", ""}},
      {"fnt_face", "GameFont"},
      {"fnt_size", 28},
      {"fnt_data", nullptr},
      {"sys_lbls", Value::map()},
      {"sys_menu", Value::map()},
      {"actr_lut", Value::map()},
      {"item_lut", Value::map()},
      {"text_lut", Value::map()},
      {"img_data", Value::map()},
      {"sections", Value::map()},
  });
}

bool data_is_valid(const Value& p_dat) { return structs_match(p_dat, data_new()); }

}  // namespace verbix
