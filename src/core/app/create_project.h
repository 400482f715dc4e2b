// The Create workflow: a new translation project folder made from the game's language data,
// under a root folder: an empty "font" folder, the dialogue file in the chosen form
// ("dialogue.txt" or "dialogue.csv") and, on request, every image of the record as a PNG.
// Progress and errors go through the window given; every stop is an error box there.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "data/value.h"
#include "utils/csv_dialect.h"
#include "utils/reporting.h"

namespace verbix {

// What the Create tab hands over: the inputs as its widgets hold them.
struct CreateRequest {
  std::string root_dir;  // the folder the project is made in
  std::string folder;    // the project's name (or relative path); blanks around it are dropped
  std::string layout;    // "TXT" writes dialogue.txt; anything else dialogue.csv
  std::string images;    // "NONE" writes no images; anything else writes them
};

// What Create takes from outside its own file work: the two dialogue writers (record to file
// content; an empty result is a failure) and the file explorer. The defaults are the tool's
// TXT and CSV converters and `open_dir`; tests put stand-ins in.
struct CreateTools {
  std::function<std::string(const Value& p_dat, Window* p_app)> to_txt;
  std::function<CsvTable(const Value& p_eng, Window* p_app)> to_csv;
  std::function<void(const std::string& p_path)> open_folder;
};
CreateTools create_tools();

// Whether an image key, made into key + ".png" under the project folder, stays inside it:
// no absolute path, no drive or stream colon, no ".." component.
bool image_key_is_safe(std::string_view p_key);

// Makes the project folder from `p_data`. Returns true when the folder was generated (and
// opened in the file explorer); false after an error stop (reported through `p_app`, the
// log flushed) or when the user declined to replace an existing folder. `p_app` is required:
// it answers the question about an existing folder.
bool create_project(const Value& p_data, const CreateRequest& p_request, Window* p_app,
                    const CreateTools& p_tools = create_tools());

}  // namespace verbix
