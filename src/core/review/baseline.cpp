#include "review/baseline.h"

#include "data/container.h"
#include "data/dialogue_csv.h"
#include "data/record_merge.h"
#include "data/sha256.h"
#include "text/py_text.h"
#include "utils/file_helpers.h"
#include "utils/paths.h"

namespace verbix {
namespace {

// Empties the Translation cell of each row of a CSV file read in order, so that reading them
// gives the English column (a blank translation reads back as the English text).
class EnglishRows {
 public:
  void operator()(CsvRow& row) {
    if (row.empty() || row[0].empty()) return;
    const std::string key = py_upper(row[0]);
    if (new_block(key, block_, row)) {
      block_ = key;
      return;
    }
    if (block_ == "LABELS" || block_ == "SPEAKERS" || block_ == "ITEMS") {
      if (row.size() >= 3) row[2].clear();
    } else if (block_ == "DESCRIPTIONS" || block_ == "SECTION") {
      if (row.size() >= 4 && !is_section_header(row)) row[3].clear();
    }
  }

 private:
  std::string block_;
};

std::optional<Baseline> from_csv(const std::string& p_target) {
  // Row by row from the file's text, as the project reader reads it: a large file's table is
  // never held whole.
  std::string problem;
  const std::optional<CsvText> csv = csv_load_text(p_target, problem);
  if (!csv || !problem.empty()) return std::nullopt;
  const DialogueRead read = csv_2_dat(csv->text, csv->sep, nullptr, EnglishRows());
  if (read.failed()) return std::nullopt;
  Baseline baseline;
  for (const Field& field : FIELDS)
    if (field.key != "sys_menu")
      baseline.tables[field.key] = Value(record_table(read.data, field.key));
  return baseline;
}

}  // namespace

Value make_baseline(const Value& p_game) {
  Value out = Value::map();
  const Value* ver = p_game.find("ver_hash");
  out["ver_hash"] = ver ? *ver : Value();
  Value tables = Value::map();
  // The game's tables themselves, shared and not copied: the writer sees each once.
  for (const Field& field : FIELDS) {
    const Value* table = p_game.find(field.key);
    tables[field.key] = table && table->is_map() ? *table : Value::map();
  }
  out["tables"] = std::move(tables);
  const Map& game_images = record_table(p_game, "img_data");
  std::vector<std::string_view> bytes;
  bytes.reserve(game_images.size());
  for (const auto& [key, image] : game_images)
    bytes.push_back(image.is_bytes() ? image.as_bytes() : std::string_view());
  std::vector<std::string> digests = sha256_hex_all(bytes);
  Value images = Value::map();
  std::size_t i = 0;
  for (const auto& [key, image] : game_images) images[key] = Value(std::move(digests[i++]));
  out["images"] = std::move(images);
  return out;
}

int save_baseline(const std::string& p_project_dir, const Value& p_game) {
  // Only the tool reads it: zlib's fastest level (a third of the time of the default, for a
  // file a quarter larger).
  return dat_save(path_join(p_project_dir, std::string(kBaselineFile)), make_baseline(p_game), 1);
}

std::optional<Baseline> load_baseline(const std::string& p_target, std::string_view p_form) {
  return finish_baseline(p_target, p_form, read_baseline_file(p_target));
}

std::optional<DatRead> read_baseline_file(const std::string& p_target) {
  const std::string file = path_join(path_dirname(p_target), std::string(kBaselineFile));
  if (!is_regular_file(file)) return std::nullopt;
  return dat_read(file);
}

std::optional<Baseline> finish_baseline(const std::string& p_target, std::string_view p_form,
                                        std::optional<DatRead> p_read) {
  if (p_read) {
    const std::optional<Value> record = dat_report(std::move(*p_read));
    const Value* tables = record ? record->find("tables") : nullptr;
    if (tables && tables->is_map()) {
      Baseline baseline;
      baseline.tables = *tables;
      const Value* images = record->find("images");
      if (images && images->is_map()) baseline.images = *images;
      baseline.from_file = true;
      return baseline;
    }
  }
  if (p_form == "CSV") return from_csv(p_target);
  return std::nullopt;
}

}  // namespace verbix
