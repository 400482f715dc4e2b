// What the dialogue readers (TXT, CSV and the project reader) return: the record and its
// DialogueMeta, the map that tells for each key or content id where it stood in the file
// ("format" first, then key -> list of [line or row number, text] pairs). A failed read is
// the pair of two empty maps; callers test the record for emptiness.
#pragma once

#include "data/value.h"

namespace verbix {

struct DialogueRead {
  Value data = Value::map();
  Value meta = Value::map();

  // Whether the read failed (the record is empty).
  bool failed() const { return data.size() == 0; }
};

// The failure pair (empty map, empty map).
inline DialogueRead read_failure() { return {}; }

}  // namespace verbix
