// What the dialogue readers (TXT, CSV and the project reader) return: the record and its
// DialogueMeta, where each key or content id stood in the file. A failed read is an empty
// record with empty positions; callers test the record for emptiness.
#pragma once

#include "data/dialogue_meta.h"
#include "data/value.h"

namespace verbix {

struct DialogueRead {
  Value data = Value::map();
  DialogueMeta meta;

  // Whether the read failed (the record is empty).
  bool failed() const { return data.size() == 0; }
};

// The failure pair (empty record, no positions).
inline DialogueRead read_failure() { return {}; }

}  // namespace verbix
