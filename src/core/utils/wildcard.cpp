#include "utils/wildcard.h"

#include <string>

#include "text/py_text.h"

namespace verbix {
namespace {

std::u32string code_points(std::string_view text) {
  std::u32string out;
  for (size_t pos = 0; pos < text.size();) {
    char32_t cp = next_code_point(text, pos);
#ifdef _WIN32
    if (cp >= 'A' && cp <= 'Z') cp += 'a' - 'A';
#endif
    out += cp;
  }
  return out;
}

// Matches the set that starts at p[i] == '['; sets `end` past its ']'. Returns false with
// end == i when the set is not closed (the '[' is then literal).
bool match_set(const std::u32string& p, size_t i, char32_t c, size_t& end) {
  size_t j = i + 1;
  const bool negate = j < p.size() && p[j] == U'!';
  if (negate) ++j;
  const size_t first = j;
  bool hit = false;
  while (j < p.size() && (p[j] != U']' || j == first)) {
    if (j + 2 < p.size() && p[j + 1] == U'-' && p[j + 2] != U']') {
      hit = hit || (p[j] <= c && c <= p[j + 2]);
      j += 3;
    } else {
      hit = hit || p[j] == c;
      ++j;
    }
  }
  if (j >= p.size()) {
    end = i;
    return false;
  }
  end = j + 1;
  return hit != negate;
}

}  // namespace

bool wildcard_match(std::string_view pattern, std::string_view name) {
  const std::u32string p = code_points(pattern);
  const std::u32string s = code_points(name);
  // Greedy matching with one backtrack point: the most recent "*".
  size_t pi = 0, si = 0, star = std::u32string::npos, star_s = 0;
  while (si < s.size()) {
    if (pi < p.size() && p[pi] == U'*') {
      star = pi++;
      star_s = si;
      continue;
    }
    if (pi < p.size()) {
      size_t end = pi;
      if (p[pi] == U'?') {
        ++pi;
        ++si;
        continue;
      }
      if (p[pi] == U'[') {
        if (match_set(p, pi, s[si], end)) {
          pi = end;
          ++si;
          continue;
        }
        if (end == pi && s[si] == U'[') {  // unclosed set: a literal "["
          ++pi;
          ++si;
          continue;
        }
      } else if (p[pi] == s[si]) {
        ++pi;
        ++si;
        continue;
      }
    }
    if (star == std::u32string::npos) return false;
    pi = star + 1;
    si = ++star_s;
  }
  while (pi < p.size() && p[pi] == U'*') ++pi;
  return pi == p.size();
}

}  // namespace verbix
