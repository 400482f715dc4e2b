// The JSON document of a check, for translation teams' CI (`verbix-cli check --json FILE`):
//   {"format": "TXT"|"CSV", "version": {"project": str, "game": str}, "baseline": bool,
//    "added":   [{"table": T, "id": str, "english": V}],
//    "removed": [{"table": T, "id": str}],
//    "changed": [{"table": T, "id": str, "was": V, "now": V, "translation": V}],
//    "totals":  {"added": int, "removed": int, "changed": int}}
// T is a table key (sys_lbls, sys_menu, actr_lut, item_lut, text_lut); V a text, in
// text_lut the list of its lines. "added" and "removed" are the report's additions and
// removals; "changed" is computed against the baseline.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "data/record_merge.h"
#include "data/value.h"
#include "review/english_changes.h"

namespace verbix {

struct CheckFindings {
  std::string format;
  Value project_version;
  const Value& game;
  const Value& merged;
  const std::array<TableChanges, FIELDS.size()>& tables;
  const std::array<std::vector<EnglishChange>, FIELDS.size()>& changed;
  bool baseline = false;
};

// The document's text. Throws DataError for a value JSON cannot hold (bytes).
std::string check_json(const CheckFindings& p_findings);

}  // namespace verbix
