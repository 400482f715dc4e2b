// review.csv, the list of texts a translator has to look at after an Update: those the game
// added (filled with English) and those whose English changed while the translation was
// kept. A row stays from one Update to the next until the translator edits that translation
// (or deletes the row); it is written in the CSV dialect of dialogue.csv.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "data/id_places.h"
#include "data/record_merge.h"
#include "data/value.h"
#include "review/english_changes.h"
#include "utils/csv_dialect.h"

namespace verbix {

inline constexpr std::string_view kReviewFile = "review.csv";

// One row: Kind ("added" or "changed"), Table (the report's label, or "Image"), ID, Position
// (the line or row in the dialogue file; 0 for an image, written empty), Old English, New
// English, Translation.
struct ReviewRow {
  std::string kind;
  std::string table;
  std::string id;
  std::size_t position = 0;
  std::string old_english;
  std::string new_english;
  std::string translation;
};

// The column titles, the file's first row.
const CsvRow& review_header();

// The rows of review.csv in `p_rows` (the header and rows too short to hold an id skipped).
std::vector<ReviewRow> review_rows(const CsvTable& p_rows);

// The file's rows, header first.
CsvTable review_table(const std::vector<ReviewRow>& p_rows);

// What an Update hands over to make the next list: the game, the merged record, what the
// merge added, the English changes and where the new dialogue file put each id.
struct ReviewInput {
  const Value& game;
  const Value& merged;
  const std::array<TableChanges, FIELDS.size()>& tables;
  const std::array<std::vector<EnglishChange>, FIELDS.size()>& changed;
  const IdPlaces& places;
  // The rows of the images kept although the game changed them, and the SHA-256 hex of a
  // project image file by key ("" when there is none).
  const std::vector<ReviewRow>& image_rows;
  std::function<std::string(const std::string&)> image_hash;
};

// The ids whose places the next list needs, besides the additions and changes: those of
// the previous rows.
std::vector<std::string> review_ids(const std::vector<ReviewRow>& p_previous);

// The next list: each previous row whose translation still equals its Translation cell,
// with Position and New English brought up to date (rows of ids the game dropped go); then
// a row for each addition and each change not listed yet, table by table in the game's
// order, then the new image rows. An image row's Translation is the SHA-256 of the
// translator's file: it stays while the file does (New English, the game image's SHA-256,
// brought up to date).
std::vector<ReviewRow> next_review(const std::vector<ReviewRow>& p_previous,
                                   const ReviewInput& p_input);

// The line or row an id of table number `p_table` stands at: its first place, except for an
// item's description, whose place follows the item's own entry; 0 when it has none.
std::size_t review_position(const IdPlaces& p_places, std::size_t p_table, const std::string& p_key,
                            const Value& p_game);

}  // namespace verbix
