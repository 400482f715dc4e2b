// The texts whose English the game changed since the baseline while their translation was
// kept: what Check lists and Update puts in review.csv.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "data/record_merge.h"
#include "data/value.h"
#include "review/baseline.h"

namespace verbix {

struct EnglishChange {
  std::string key;
  Value was;  // the baseline's English
  Value now;  // the game's English
};

// Per table, in the order of FIELDS and each in the game's order: the keys the game and the
// baseline both have with different English, whose translation the merge kept (no addition).
// A table the baseline lacks has none.
std::array<std::vector<EnglishChange>, FIELDS.size()> english_changes(const Baseline& p_baseline,
                                                                      const Value& p_game,
                                                                      const RecordMerge& p_merge);

// How a report line shows an English text: a text as it is, a list of lines joined with
// "\n", anything else in its text form.
std::string english_text(const Value& p_value);

}  // namespace verbix
