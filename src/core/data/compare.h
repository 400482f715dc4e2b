// Whether a translation fits the game data it was made from: the record's fingerprint of its
// ids (`data_hash`), the check before a build (`data_compare`), and `hash_path`, which turns
// an image path into a hashed path of the same shape.
//
// A version stamp (`ver_hash`) is the game's version label, " : ", then the 20-character
// fingerprint: 16 hexadecimal digits over the sorted ids of the record's text maps, then 4
// over its sorted image keys.
#pragma once

#include <string>
#include <string_view>

#include "data/value.h"
#include "utils/reporting.h"

namespace verbix {

// The 20-character fingerprint of a map's ids: the first 16 digits of the SHA-256 of its
// content keys (keys of every map-valued entry but "sections" and those whose key holds
// "img"), sorted and concatenated, then the first 4 of its image keys. Texts, sections and
// non-map entries play no part; a value that is not a map has no ids.
std::string data_hash(const Value& p_dat);

// Whether the translation `p_new` may be built against the game's `p_cur`: both valid, the
// same version label and content fingerprint, the same images (or, with a window, the user
// builds anyway), and every key of the game's tables (sections included, images not)
// present in the translation. Once the stamps match, `p_new`'s `ver_hash` becomes its own
// label with its own fingerprint. Each failure is logged and gives false.
bool data_compare(Value& p_new, const Value& p_cur, Window* p_app = nullptr);

// The path with its last part (split at "\" and "/") replaced by the first `p_len` digits of
// the SHA-256 of the whole path joined with "/", followed by "[BUST]" when the path holds it
// in any case, after "!" when the last part starts with one; joined with "/".
std::string hash_path(std::string_view p_path, long long p_len = 16);

}  // namespace verbix
