#include "app/update_project.h"

#include <cstdio>
#include <filesystem>
#include <unordered_set>
#include <vector>

#include "app/project_backup.h"
#include "app/project_images.h"
#include "data/dialogue_csv.h"
#include "data/dialogue_txt.h"
#include "project/project_reader.h"
#include "text/py_text.h"
#include "text/text_form.h"
#include "utils/error_watch.h"
#include "utils/file_helpers.h"
#include "utils/file_io.h"
#include "utils/links.h"
#include "utils/log_service.h"
#include "utils/os_error.h"
#include "utils/paths.h"
#include "utils/temp_files.h"

namespace verbix {
namespace {

// Whether an image file of the project has bytes that can be read, as loading the project
// would need: an empty or unreadable file gets the message loading gives it.
bool image_loads(const std::string& p_path) {
  try {
    File file = open_file(p_path, "rb");
    return std::fgetc(file.get()) != EOF;
  } catch (const OsError&) {
    return false;
  }
}

constexpr std::string_view kRule = "---------------------------";

// The keys one table of the merge took from the game, and those it dropped.
struct TableChanges {
  std::vector<std::string> adds;
  std::vector<std::string> rems;
};

const Map& table_of(const Value& p_rec, std::string_view p_key) {
  static const Map empty;
  const Value* table = p_rec.find(p_key);
  return table && table->is_map() ? table->as_map() : empty;
}

// Moves the translation of each replaced id to its new id. Only where the game has made the
// replacement (it has the new id and no longer the old one): against a game that still has
// the old id, the move would leave the old id to be refilled with English and put the
// translation under an id the game lacks.
void apply_swaps(const Value& p_game, Value& p_file, Window* p_app) {
  const Map& game_lines = table_of(p_game, "text_lut");
  Value* lines = p_file.find("text_lut");
  if (!lines || !lines->is_map()) return;
  for (const IdSwap& swap : SWAPS) {
    if (!game_lines.contains(swap.new_id) || game_lines.contains(swap.old_id)) continue;
    Value* old_value = lines->as_map().find(swap.old_id);
    if (!old_value) continue;
    Value moved = std::move(*old_value);
    lines->as_map().erase(swap.old_id);
    lines->as_map().set(std::string(swap.new_id), std::move(moved));
    info("Content ID update: " + std::string(swap.old_id) + " -> " + std::string(swap.new_id),
         p_app);
  }
}

// One table merged: exactly the game's keys in the game's order, the translation's
// non-empty values kept. A key that is empty in both is kept, and is no addition.
Map merge_table(const Map& a, const Map& b, TableChanges& changes) {
  Map c;
  c.reserve(b.size());
  for (const auto& [key, game_value] : b) {
    const Value* mine = a.find(key);
    if (mine && truth(*mine)) {
      c.set(key, *mine);
      continue;
    }
    // A speaker the game shows without a name has nothing to translate: its empty
    // translation is complete, not an addition.
    if (mine && !truth(game_value) && !truth(*mine)) {
      c.set(key, game_value);
      continue;
    }
    if (mine)
      info("Missing lines at (" + key +
           "). Possible formatting issue. Restoring back to: " + text_form(game_value));
    c.set(key, game_value);
    changes.adds.push_back(key);
  }
  for (const auto& [key, value] : a)
    if (!b.contains(key)) changes.rems.push_back(key);
  return c;
}

// Reports each key's positions from a DialogueMeta: label, what happened, at which line/row.
void report(std::string_view p_label, std::string_view p_what, std::string_view p_word,
            const std::vector<std::string>& p_keys, const Value& p_meta, Window* p_app) {
  for (const std::string& key : p_keys) {
    const Value* places = p_meta.find(key);
    if (!places || !places->is_list()) continue;
    for (const Value& place : places->as_list()) {
      if (!place.is_list() || place.size() < 2) continue;
      info(std::string(p_label) + " " + std::string(p_what) + " at " + std::string(p_word) + " (" +
               text_form(place[0]) + "): " + text_form(place[1]),
           p_app);
    }
  }
}

void banner(std::string_view p_title, Window* p_app) {
  info(kRule, p_app);
  info(p_title, p_app);
  info(std::string(kRule) + "\n", p_app);
}

// The target path with its extension replaced by `p_fmt` (one added when it has none).
std::string with_extension(const std::string& p_path, const std::string& p_fmt) {
  const std::string ext = path_extension(p_path);
  return p_path.substr(0, p_path.size() - ext.size()) + "." + p_fmt;
}

// The ids whose texts hold a line break: a TXT line cannot keep one (the rest of the text
// would be read as another line), so such a record is not written as TXT. At most `p_most`.
std::vector<std::string> ids_with_line_breaks(const Value& p_rec, size_t p_most) {
  std::vector<std::string> ids;
  const auto has_break = [](const Value& v) {
    return v.is_text() && v.as_text().find_first_of("\r\n") != std::string::npos;
  };
  for (const Field& field : FIELDS)
    for (const auto& [key, value] : table_of(p_rec, field.key)) {
      bool broken = has_break(value);
      if (value.is_list())
        for (const Value& line : value.as_list()) broken = broken || has_break(line);
      if (broken && ids.size() < p_most) ids.push_back(key);
    }
  return ids;
}

// Whether file `a` was modified after file `b`.
bool is_newer(const std::string& a, const std::string& b) {
  std::error_code ec_a, ec_b;
  const auto time_a = std::filesystem::last_write_time(fs_path(a), ec_a);
  const auto time_b = std::filesystem::last_write_time(fs_path(b), ec_b);
  return !ec_a && !ec_b && time_a > time_b;
}

// The key of an image file: its path relative to the project folder without ".png".
std::string without_extension(const std::string& p_key) {
  return p_key.substr(0, p_key.size() - path_extension(p_key).size());
}

}  // namespace

std::string update_output_path(const std::string& p_target, const std::string& p_format) {
  const std::string ext = path_extension(p_target);
  const std::string fmt = ascii_lower(p_format);
  return ascii_lower(ext.empty() ? ext : ext.substr(1)) == fmt ? p_target
                                                               : with_extension(p_target, fmt);
}

UpdateTools update_tools() {
  return {[](const std::string& p_file, std::string_view p_bytes) {
            return save_image(p_file, p_bytes);
          },
          [](const std::string& p_dir, const std::string& p_file) { open_dir(p_dir, p_file); },
          [] { return utils.timestamp(); }};
}

namespace {

// The merged record and the file content it was written to for the report: the TXT text or
// the CSV rows, whichever is the translation file's form. Update writes the same content
// when the form stays, so it is made once.
struct Merged {
  Value data;
  std::string text;
  CsvTable rows;
};

std::optional<Merged> merge_and_report(const Value& p_game, const std::string& p_target,
                                       Window* p_app) {
  DialogueRead read = dlg_data(p_target, p_app);
  if (read.failed()) {
    info("No data found: " + p_target);
    return std::nullopt;
  }
  Value& file_data = read.data;
  const Value& file_meta = read.meta;

  progress(p_app, "Comparing with the game's data");
  apply_swaps(p_game, file_data, p_app);

  std::array<TableChanges, FIELDS.size()> changes;
  for (size_t i = 0; i < FIELDS.size(); ++i) {
    Map merged = merge_table(table_of(file_data, FIELDS[i].key), table_of(p_game, FIELDS[i].key),
                             changes[i]);
    file_data[FIELDS[i].key] = Value(std::move(merged));
  }

  const Value* game_ver = p_game.find("ver_hash");
  const Value game_hash = game_ver ? *game_ver : Value();
  const Value* file_ver = file_data.find("ver_hash");
  if (!file_ver || !(*file_ver == game_hash)) {
    info("Version updated from (" + (file_ver ? text_form(*file_ver) : std::string("None")) +
             ") to (" + text_form(game_hash) + ")",
         p_app);
    file_data["ver_hash"] = game_hash;
  }
  const Value* sections = p_game.find("sections");
  file_data["sections"] = sections ? *sections : Value::map();

  // Where each added key now stands: the merged record written in the file's form and read
  // back (the re-read record itself is not needed). The CSV rows are those Update writes, with
  // the game's record as English: with the merged record as English instead, speakers and
  // items would sort by their translated names and the rows reported would not be the file's.
  const Value* format = file_meta.find("format");
  const std::string form =
      format && format->is_text() ? std::string(format->as_text()) : std::string();
  progress(p_app, "Finding the changes");
  std::string word;
  Value curr_meta;
  Merged merged;
  if (form == "TXT") {
    word = "line";
    merged.text = dat_2_txt(file_data);
    curr_meta = txt_2_dat(merged.text).meta;
  } else if (form == "CSV") {
    word = "row";
    merged.rows = dat_2_csv(p_game, file_data);
    curr_meta = csv_2_dat(merged.rows).meta;
  } else {
    info("Data type information missing.", p_app);
    return std::nullopt;
  }

  size_t adds = 0, rems = 0;
  for (size_t i = 0; i < FIELDS.size(); ++i) {
    report(FIELDS[i].label, "added", word, changes[i].adds, curr_meta, p_app);
    report(FIELDS[i].label, "removed", word, changes[i].rems, file_meta, p_app);
    adds += changes[i].adds.size();
    rems += changes[i].rems.size();
  }
  info("\nChecks and comparisons complete.", p_app);
  info("Additions: " + std::to_string(adds) + " / Removals: " + std::to_string(rems) + "\n", p_app);
  merged.data = std::move(file_data);
  return merged;
}

}  // namespace

std::optional<Value> verify(const Value& p_game, const std::string& p_target, Window* p_app) {
  std::optional<Merged> merged = merge_and_report(p_game, p_target, p_app);
  if (!merged) return std::nullopt;
  return std::move(merged->data);
}

std::optional<Value> check_translation(const Value& p_game, const std::string& p_target,
                                       Window* p_app) {
  banner(" CHECKING TRANSLATION FILE ", p_app);
  return verify(p_game, p_target, p_app);
}

std::optional<Value> update_translation(const Value& p_game, const UpdateRequest& p_request,
                                        Window* p_app, const UpdateTools& p_tools) {
  banner(" UPDATING TRANSLATION FILE ", p_app);
  const std::string& dlg_pth = p_request.target;
  const std::string dlg_fmt = ascii_lower(p_request.format);
  const std::string dlg_dir = path_dirname(dlg_pth);
  const std::string img_dir = path_join(dlg_dir, "img");

  if (!path_exists(dlg_pth))
    return error("File doesn't exist:\n" + dlg_pth, std::optional<Value>(), p_app);
  // Refused before anything is asked, backed up, deleted or written.
  if (dlg_fmt != "txt" && dlg_fmt != "csv")
    return error("Failed to update unknown file type: " + dlg_fmt, std::optional<Value>(), p_app);
  if (p_app && !p_app->popup_yes_no(
                   "This will overwrite data for:\n" + dlg_pth + "\n\nDo you want continue?",
                   kConfirmTitle)) {
    info("Canceled update.", p_app);
    return std::nullopt;
  }

  // What an interrupted earlier run left behind: its temporary files, and after a format
  // change cut short, both forms of the file, of which the newer is the one to go on from.
  remove_leftover_temps(dlg_dir, true);
  const std::string new_pth = update_output_path(dlg_pth, dlg_fmt);
  const bool both = new_pth != dlg_pth && is_regular_file(new_pth);
  const std::string source = both && is_newer(new_pth, dlg_pth) ? new_pth : dlg_pth;
  if (both)
    info("Found both " + dlg_pth + " and " + new_pth +
             " (an interrupted format change); updating the newer: " + source,
         p_app);

  ErrorWatch watch(p_app);
  std::optional<Merged> merged = merge_and_report(p_game, source, watch.window());
  if (!merged && watch.reported()) {
    info("Update failed, check logs for information.", p_app);  // the reader's box said why
    return std::nullopt;
  }
  if (!merged)
    return error("Update failed, check logs for information.", std::optional<Value>(), p_app);
  Value* dlg_dat = &merged->data;

  // A line break typed into a spreadsheet cell has no place in a TXT line: the change of
  // form is refused rather than the text cut, before anything is written.
  if (dlg_fmt == "txt" && ascii_lower(path_extension(source)) != ".txt") {
    const std::vector<std::string> ids = ids_with_line_breaks(*dlg_dat, 20);
    if (!ids.empty()) {
      std::string list;
      for (const std::string& id : ids) list += (list.empty() ? "" : ", ") + id;
      return error(
          "Can't change to TXT: the texts of these ids hold line breaks, which TXT "
          "lines cannot keep: " +
              list + "\n\nKeep the CSV form, or remove the line breaks.",
          std::optional<Value>(), p_app);
    }
  }

  const bool opt_backups = p_request.backup;
  const std::string& opt_replace = p_request.images;
  // The images already in the project: only their paths are needed, not their bytes.
  const std::vector<PngFile> pngs = png_files(img_dir, p_app);
  // Every backup copy is made before anything is deleted or replaced: a copy that fails
  // (a full disk) stops the update with nothing changed.
  std::string bkp_dir;
  if (opt_backups) {
    const std::optional<std::string> folder = make_backup_folder(dlg_dir, p_tools.timestamp());
    if (!folder)
      return error("Failed to create a backup folder in: " + dlg_dir + "\n\nNothing was changed.",
                   std::optional<Value>(), p_app);
    bkp_dir = *folder;
    std::vector<std::pair<std::string, std::string>> copies{
        {dlg_pth, path_join(bkp_dir, path_basename(dlg_pth))}};
    if (both) copies.emplace_back(new_pth, path_join(bkp_dir, path_basename(new_pth)));
    for (const PngFile& png : pngs)
      copies.emplace_back(png.path, normpath(path_join(bkp_dir, png.key)));
    for (const auto& [from, to] : copies) {
      if (const std::optional<std::string> failure = back_up_file(from, to)) {
        delete_dir(bkp_dir);
        return error("Failed to back up " + from + ": " + *failure + "\n\nNothing was changed.",
                     std::optional<Value>(), p_app);
      }
    }
  }

  // The new file is written first (through a temporary file and a rename); the old-form file
  // is deleted only once that has succeeded, so a failed write never loses the translation.
  progress(p_app, "Writing " + path_basename(new_pth));
  bool written = false;
  if (dlg_fmt == "txt") {
    if (merged->text.empty()) merged->text = dat_2_txt(*dlg_dat, p_app);
    written = !merged->text.empty() && txt_save(new_pth, merged->text) == 0;
  } else {
    if (merged->rows.empty()) merged->rows = dat_2_csv(p_game, *dlg_dat, p_app);
    written = !merged->rows.empty() && csv_save(new_pth, merged->rows) == 0;
  }
  merged->text = std::string();  // the file content is not needed any more
  merged->rows = CsvTable();
  if (!written) return error("Failed to update " + new_pth, std::optional<Value>(), p_app);
  if (new_pth != dlg_pth) delete_file(dlg_pth);

  const Map& game_images = table_of(p_game, "img_data");
  std::unordered_set<std::string> keep;
  size_t done = 0;
  for (const PngFile& png : pngs) {
    progress(p_app, "Checking images", ++done, pngs.size());
    if (!image_loads(png.path)) info("Failed to load image: " + path_basename(png.path), p_app);
    const std::string key = without_extension(png.key);
    if (opt_replace == kReplaceAll ||
        (opt_replace != kChangeNothing && !game_images.contains(key))) {
      delete_file(png.path);
      continue;
    }
    keep.insert(key);
    info("Keeping image: " + png.path, p_app);
  }

  if (opt_replace != kChangeNothing) {
    const size_t to_write =
        opt_replace == kReplaceAll ? game_images.size() : game_images.size() - keep.size();
    done = 0;
    for (const auto& [key, bytes] : game_images) {
      if (opt_replace != kReplaceAll && keep.contains(key)) continue;
      progress(p_app, "Writing images", ++done, to_write);
      const std::optional<std::string> png_path = image_path_in(dlg_dir, key);
      if (!png_path) {
        info(image_refusal(key), p_app);
        continue;
      }
      if (const std::optional<std::string> link = link_below(dlg_dir, *png_path)) {
        info("Skipped image behind a link: " + key + " (" + *link + " is a link)", p_app);
        continue;
      }
      if (p_tools.save_image(*png_path, bytes.is_bytes() ? bytes.as_bytes() : std::string()) != 0)
        return error("Failed to save image: " + key, std::optional<Value>(), p_app);
      info("Adding image: " + key, p_app);
    }
  }

  try {
    delete_empty_subdirs(img_dir);
  } catch (const OsError& e) {
    utils.fail("Failed to remove empty folders: " + std::string(e.what()));
  }

  info("\nSuccessfully updated " + new_pth + "\n", p_app);
  if (path_exists(new_pth)) p_tools.open_folder(dlg_dir, new_pth);
  return std::move(*dlg_dat);
}

}  // namespace verbix
