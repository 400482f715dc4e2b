// The compiler of the game's language file (".cld"): the 8-byte signature "LANGDATA" and
// then one JSON document (UTF-8, all ASCII, as json.dumps writes it) whose 11 members rename
// and regroup the record's fields into the game's own:
//
//   langVers, langName, langInfo, fontFace, fontSize   the header fields
//   fontFile    the embedded font, base64, or null
//   imgFiles    image key -> base64 of the PNG bytes
//   sysLabel, sysMenus                                 the label and menu maps
//   labelLUT    item names, then speaker names, then each choice option's first line
//   linesLUT    each dialogue block's lines in section order, then the text_lut entries no
//               section refers to (item descriptions among them)
//
// An id added twice to labelLUT or linesLUT keeps its first position and takes the later
// value.
#pragma once

#include <string_view>

#include "data/dialogue_meta.h"
#include "data/value.h"
#include "utils/reporting.h"

namespace verbix {

inline constexpr std::string_view SIGNATURE = "LANGDATA";

// Writes the language file of the record to `p_path`, through a temporary file beside it,
// so a failed write leaves an earlier file whole. Returns false without writing when the
// record is not valid ("Can't compile invalid data structure: " + path), when a section
// names an id twice or one text_lut lacks (reported through `error`; without a window that
// ends the process), when the user aborts at the "Build Errors (n)" question that counted
// errors raise with a window, or when writing fails ("Failed to build: " + path +
// " Exception: " + the reason). `p_meta` gives the line of an id whose lines are missing.
bool compile(std::string_view p_path, const Value& p_data, const DialogueMeta& p_meta = {},
             Window* p_app = nullptr);

}  // namespace verbix
