// The language data record (`LanguageData`): a map of exactly 13 keys holding one
// language's texts, font settings and images, and the constant lists that the dialogue
// formats and the project reader share.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "data/value.h"

namespace verbix {

// The record's keys, in the order data_new creates them.
inline constexpr std::array<std::string_view, 13> kRecordKeys = {
    "ver_hash", "lng_name", "lng_info", "fnt_face", "fnt_size", "fnt_data", "sys_lbls",
    "sys_menu", "actr_lut", "item_lut", "text_lut", "img_data", "sections"};

// The TXT form's section tags: nine fixed ones, then the game's dialogue section keys,
// appended at start-up in the order of the game record's `sections`. Never shortened, so an
// index from kFirstDialogueSection on names a dialogue section.
extern std::vector<std::string> SECTIONS;
inline constexpr std::size_t kFirstDialogueSection = 9;

// The CSV form's header row.
extern const std::vector<std::string> SECTION_HEADER;
// Font file extensions the project reader looks for.
extern const std::vector<std::string> FONT_TYPES;
// Font faces built into the game (lower case); their files are never embedded.
extern const std::vector<std::string> FONT_FACES;

// A new empty record: "" version stamp, "English", three empty credit lines, "GameFont"
// at size 28, no font data and seven empty maps. Each call returns its own lists and maps.
Value data_new();

// Whether `p_dat` passes as a record: a map with exactly the 13 keys (in any order) whose
// first map-valued entry is one of the seven map keys. Nothing else is examined. Logs
// nothing.
bool data_is_valid(const Value& p_dat);

}  // namespace verbix
