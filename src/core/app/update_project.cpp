#include "app/update_project.h"

#include <cstdio>
#include <filesystem>
#include <future>
#include <unordered_set>
#include <vector>

#include "app/project_backup.h"
#include "app/project_images.h"
#include "data/dialogue_csv.h"
#include "data/dialogue_txt.h"
#include "data/sha256.h"
#include "project/project_reader.h"
#include "review/baseline.h"
#include "review/check_json.h"
#include "review/english_changes.h"
#include "review/review_list.h"
#include "review/statistics.h"
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

// The SHA-256 hex of a file's bytes; "" when it cannot be read.
std::string file_sha256(const std::string& p_path) {
  try {
    return sha256_hex(read_file(p_path));
  } catch (const OsError&) {
    return {};
  }
}

constexpr std::string_view kRule = "---------------------------";

// Reports each key's places: label, what happened, at which line/row, the text there.
void report(std::string_view p_label, std::string_view p_what, std::string_view p_word,
            const std::vector<std::string>& p_keys, const IdPlaces& p_places, Window* p_app) {
  for (const std::string& key : p_keys)
    for (const IdPlace& place : p_places.of(key))
      info(std::string(p_label) + " " + std::string(p_what) + " at " + std::string(p_word) + " (" +
               std::to_string(place.at) + "): " + place.text,
           p_app);
}

// Reports each text whose English changed while its translation was kept: where it now
// stands with its new English, then its old English.
void report_changed(size_t p_table, std::string_view p_word,
                    const std::vector<EnglishChange>& p_changes, const IdPlaces& p_places,
                    const Value& p_game, Window* p_app) {
  for (const EnglishChange& change : p_changes) {
    const size_t at = review_position(p_places, p_table, change.key, p_game);
    if (!at) continue;
    info(std::string(FIELDS[p_table].label) + " changed at " + std::string(p_word) + " (" +
             std::to_string(at) + "): " + english_text(change.now),
         p_app);
    info("    was: " + english_text(change.was), p_app);
  }
}

// Reports each key's positions from a DialogueMeta: label, what happened, at which line/row.
void report(std::string_view p_label, std::string_view p_what, std::string_view p_word,
            const std::vector<std::string>& p_keys, const DialogueMeta& p_meta, Window* p_app) {
  for (const std::string& key : p_keys)
    for (const auto* place = p_meta.first(key); place; place = p_meta.next(*place))
      info(std::string(p_label) + " " + std::string(p_what) + " at " + std::string(p_word) + " (" +
               std::to_string(place->at) + "): " + text_form(place->text),
           p_app);
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
    for (const auto& [key, value] : record_table(p_rec, field.key)) {
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
  std::string form;  // the form the translation file was read in, "TXT" or "CSV"
  std::array<TableChanges, FIELDS.size()> tables;
  std::array<std::vector<EnglishChange>, FIELDS.size()> changed;
  IdPlaces places;  // where the content written puts the additions, changes and `p_more_ids`
  std::optional<Baseline> baseline;
  Value project_version;  // the translation file's own version stamp
};

// Asks `p_places` for every id review.csv lists: the merge's additions, the English changes
// and `p_more_ids`.
void want_review_ids(IdPlaces& p_places, const std::array<TableChanges, FIELDS.size()>& p_tables,
                     const std::array<std::vector<EnglishChange>, FIELDS.size()>& p_changed,
                     const std::vector<std::string>& p_more_ids) {
  for (const std::string& id : p_more_ids) p_places.want(id);
  for (const TableChanges& table : p_tables)
    for (const std::string& key : table.adds) p_places.want(key);
  for (const std::vector<EnglishChange>& table : p_changed)
    for (const EnglishChange& change : table) p_places.want(change.key);
}

// The rows of the previous review.csv in the project folder; none when there is none, or
// when it cannot be read (said so: the list is then made anew).
std::vector<ReviewRow> previous_review(const std::string& p_path, Window* p_app) {
  if (!is_regular_file(p_path)) return {};
  if (const std::optional<CsvTable> rows = csv_load(p_path)) return review_rows(*rows);
  info("Could not read " + p_path + ": the texts to review are listed anew.", p_app);
  return {};
}

// What the merge did besides additions and removals: the replaced ids moved, the empty
// translations restored from the game (log only) and the new version stamp.
void report_merge_notes(const RecordMerge& merge, const Value& p_game, Window* p_app) {
  for (const IdSwap& swap : merge.swaps)
    info("Content ID update: " + std::string(swap.old_id) + " -> " + std::string(swap.new_id),
         p_app);
  for (size_t i = 0; i < FIELDS.size(); ++i) {
    const Map& game_table = record_table(p_game, FIELDS[i].key);
    for (const std::string& key : merge.tables[i].restored)
      info("Missing lines at (" + key +
           "). Possible formatting issue. Restoring back to: " + text_form(*game_table.find(key)));
  }
  if (merge.version_changed) {
    const Value* game_ver = p_game.find("ver_hash");
    info("Version updated from (" + text_form(merge.old_version) + ") to (" +
             text_form(game_ver ? *game_ver : Value()) + ")",
         p_app);
  }
}

// The totals after the report: the specified line, then the English changes, or the note
// that a TXT project has no baseline to find them with.
void report_totals(size_t p_adds, size_t p_rems, size_t p_changed, bool p_baseline,
                   std::string_view p_form, Window* p_app) {
  info("\nChecks and comparisons complete.", p_app);
  info("Additions: " + std::to_string(p_adds) + " / Removals: " + std::to_string(p_rems) + "\n",
       p_app);
  if (p_baseline)
    info("English changed: " + std::to_string(p_changed) + " (translations kept, to review)",
         p_app);
  else if (p_form == "TXT")
    info(
        "No English baseline in this project: texts whose English changed cannot be listed "
        "until Update writes one.",
        p_app);
}

std::optional<Merged> merge_and_report(const Value& p_game, const std::string& p_target,
                                       Window* p_app,
                                       const std::vector<std::string>& p_more_ids = {}) {
  // The project's english.dat is read on a thread of its own while the dialogue file is
  // parsed; its outcome is logged where it was always logged, after the comparison starts.
  std::future<std::optional<DatRead>> baseline_file =
      std::async(std::launch::async, read_baseline_file, p_target);
  DialogueRead read = dlg_data(p_target, p_app);
  if (read.failed()) {
    info("No data found: " + p_target);
    return std::nullopt;
  }
  const DialogueMeta& file_meta = read.meta;

  progress(p_app, "Comparing with the game's data");
  RecordMerge merge = merge_records(p_game, std::move(read.data));
  report_merge_notes(merge, p_game, p_app);
  Value& file_data = merge.record;

  // Where each added key now stands: the line or row the writer puts it at, in the file's
  // form. The CSV rows are those Update writes, with the game's record as English: with the
  // merged record as English instead, speakers and items would sort by their translated
  // names and the rows reported would not be the file's.
  const std::string& form = file_meta.format();
  progress(p_app, "Finding the changes");
  // The texts whose English changed since the project's baseline, when it has one.
  Merged merged;
  merged.baseline = finish_baseline(p_target, form, baseline_file.get());
  const std::optional<Baseline>& baseline = merged.baseline;
  std::array<std::vector<EnglishChange>, FIELDS.size()>& changed = merged.changed;
  if (baseline) changed = english_changes(*baseline, p_game, merge);
  IdPlaces& places = merged.places;
  want_review_ids(places, merge.tables, changed, p_more_ids);
  std::string word;
  if (form == "TXT") {
    word = "line";
    merged.text = dat_2_txt(file_data, nullptr, &places);
  } else if (form == "CSV") {
    word = "row";
    merged.rows = dat_2_csv(p_game, file_data, nullptr, &places);
  } else {
    info("Data type information missing.", p_app);
    return std::nullopt;
  }

  size_t adds = 0, rems = 0, changed_count = 0;
  for (size_t i = 0; i < FIELDS.size(); ++i) {
    const TableChanges& changes = merge.tables[i];
    report(FIELDS[i].label, "added", word, changes.adds, places, p_app);
    report(FIELDS[i].label, "removed", word, changes.rems, file_meta, p_app);
    report_changed(i, word, changed[i], places, p_game, p_app);
    adds += changes.adds.size();
    rems += changes.rems.size();
    changed_count += changed[i].size();
  }
  report_totals(adds, rems, changed_count, baseline.has_value(), form, p_app);
  merged.data = std::move(file_data);
  merged.form = form;
  merged.tables = std::move(merge.tables);
  merged.project_version = std::move(merge.old_version);
  return merged;
}

}  // namespace

std::optional<Value> verify(const Value& p_game, const std::string& p_target, Window* p_app) {
  std::optional<Merged> merged = merge_and_report(p_game, p_target, p_app);
  if (!merged) return std::nullopt;
  return std::move(merged->data);
}

std::optional<Value> check_translation(const Value& p_game, const std::string& p_target,
                                       Window* p_app, std::string* p_json) {
  banner(" CHECKING TRANSLATION FILE ", p_app);
  std::optional<Merged> merged = merge_and_report(p_game, p_target, p_app);
  if (!merged) return std::nullopt;
  report_statistics(
      project_statistics(p_game, merged->data, path_dirname(p_target), merged->baseline), p_app);
  if (p_json)
    *p_json = check_json({merged->form, merged->project_version, p_game, merged->data,
                          merged->tables, merged->changed, merged->baseline.has_value()});
  return std::move(merged->data);
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

  const std::string review_path = path_join(dlg_dir, std::string(kReviewFile));
  const std::vector<ReviewRow> previous = previous_review(review_path, p_app);
  const std::vector<std::string> previous_ids = review_ids(previous);

  ErrorWatch watch(p_app);
  std::optional<Merged> merged = merge_and_report(p_game, source, watch.window(), previous_ids);
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
    for (const std::string_view name : {kBaselineFile, kReviewFile}) {
      const std::string file = path_join(dlg_dir, std::string(name));
      if (is_regular_file(file)) copies.emplace_back(file, path_join(bkp_dir, std::string(name)));
    }
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
  // In the other form, the ids stand elsewhere: the writer tells where.
  const bool same_form = ascii_lower(merged->form) == dlg_fmt;
  IdPlaces new_places;
  if (!same_form) want_review_ids(new_places, merged->tables, merged->changed, previous_ids);
  bool written = false;
  if (dlg_fmt == "txt") {
    if (merged->text.empty()) merged->text = dat_2_txt(*dlg_dat, p_app, &new_places);
    written = !merged->text.empty() && txt_save(new_pth, merged->text) == 0;
  } else {
    if (merged->rows.empty()) merged->rows = dat_2_csv(p_game, *dlg_dat, p_app, &new_places);
    written = !merged->rows.empty() && csv_save(new_pth, merged->rows) == 0;
  }
  merged->text = std::string();  // the file content is not needed any more
  merged->rows = CsvTable();
  if (!written) return error("Failed to update " + new_pth, std::optional<Value>(), p_app);
  if (new_pth != dlg_pth) delete_file(dlg_pth);
  // The English the file now stands on, for the next Check to compare with.
  if (save_baseline(dlg_dir, p_game) != 0)
    info("Failed to write " + std::string(kBaselineFile) +
             ": texts whose English changes cannot be listed until Update writes one.",
         p_app);

  const Map& game_images = record_table(p_game, "img_data");
  // "Replace Untranslated" tells the translator's images from the game's by the baseline.
  const Value* base_images =
      merged->baseline && merged->baseline->images.size() > 0 ? &merged->baseline->images : nullptr;
  std::string policy = opt_replace;
  if (policy == kReplaceUntranslated && !base_images) {
    info(
        "No English baseline in this project: \"Replace Untranslated\" acts as \"Replace "
        "Missing\".",
        p_app);
    policy = kReplaceMissing;
  }
  std::vector<ReviewRow> image_rows;
  std::unordered_set<std::string> keep;
  size_t done = 0;
  for (const PngFile& png : pngs) {
    progress(p_app, "Checking images", ++done, pngs.size());
    if (!image_loads(png.path)) info("Failed to load image: " + path_basename(png.path), p_app);
    const std::string key = without_extension(png.key);
    if (policy == kReplaceAll || (policy != kChangeNothing && !game_images.contains(key))) {
      delete_file(png.path);
      continue;
    }
    if (policy == kReplaceUntranslated) {
      // The game's image as the project got it is replaced; the translator's own is kept,
      // and listed for review when the game changed its original.
      const std::string mine = file_sha256(png.path);
      const Value* was = base_images->find(key);
      if (was && was->is_text() && was->as_text() == mine) {
        delete_file(png.path);
        continue;
      }
      const Value& bytes = *game_images.find(key);
      const std::string now = sha256_hex(bytes.is_bytes() ? bytes.as_bytes() : std::string());
      if (was && was->is_text() && was->as_text() != now)
        image_rows.push_back({"changed", "Image", key, 0, std::string(was->as_text()), now, mine});
    }
    keep.insert(key);
    info("Keeping image: " + png.path, p_app);
  }

  if (policy != kChangeNothing) {
    const size_t to_write =
        policy == kReplaceAll ? game_images.size() : game_images.size() - keep.size();
    done = 0;
    for (const auto& [key, bytes] : game_images) {
      if (policy != kReplaceAll && keep.contains(key)) continue;
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

  // The texts to review: those still untouched from the last list, and this update's.
  const auto image_hash = [&](const std::string& p_key) {
    const std::optional<std::string> path = image_path_in(dlg_dir, p_key);
    return path && is_regular_file(*path) ? file_sha256(*path) : std::string();
  };
  const std::vector<ReviewRow> review =
      next_review(previous, {p_game, *dlg_dat, merged->tables, merged->changed,
                             same_form ? merged->places : new_places, image_rows, image_hash});
  if (csv_save(review_path, review_table(review)) == 0)
    info("Texts to review: " + std::to_string(review.size()) + ", listed in " + review_path, p_app);
  else
    info("Failed to write " + review_path + ": the texts to review are not listed.", p_app);

  info("\nSuccessfully updated " + new_pth + "\n", p_app);
  if (path_exists(new_pth)) p_tools.open_folder(dlg_dir, new_pth);
  return std::move(*dlg_dat);
}

}  // namespace verbix
