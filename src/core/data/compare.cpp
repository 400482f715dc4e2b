#include "data/compare.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "data/container.h"
#include "data/language_data.h"
#include "text/py_text.h"
#include "text/text_form.h"

namespace verbix {
namespace {

// Where the last `n` code points of `text` begin (0 when it has fewer).
std::size_t last_code_points(std::string_view text, std::size_t n) {
  std::size_t pos = text.size();
  while (n > 0 && pos > 0) {
    --pos;
    if ((static_cast<unsigned char>(text[pos]) & 0xC0) != 0x80) --n;
  }
  return n > 0 ? 0 : pos;
}

// Python's text[:-4], with a text shorter than 4 counting as empty.
std::string_view without_last4(std::string_view text) {
  const std::size_t cut = last_code_points(text, 4);
  return code_point_count(text) < 4 ? std::string_view() : text.substr(0, cut);
}

// Python's text[-4:].
std::string_view last4(std::string_view text) { return text.substr(last_code_points(text, 4)); }

// A key with its first eight bytes as a big-endian number (zero-padded), so that most
// comparisons in the sort are one integer comparison instead of a call to compare memory.
struct SortKey {
  std::uint64_t head;
  std::string_view text;

  explicit SortKey(std::string_view t) : head(0), text(t) {
    const std::size_t n = std::min<std::size_t>(t.size(), 8);
    for (std::size_t i = 0; i < n; ++i)
      head |= std::uint64_t{static_cast<unsigned char>(t[i])} << (56 - 8 * i);
  }
  // Code-point order is byte order; equal heads leave the decision to the whole texts.
  bool operator<(const SortKey& o) const { return head != o.head ? head < o.head : text < o.text; }
  bool operator==(const SortKey& o) const { return head == o.head && text == o.text; }
};

// Sorts the keys: a radix sort of the heads, 16 bits a pass from the lowest (a pass is left
// out when all keys share its digit), then the keys of equal heads by their whole texts.
// For the hundreds of thousands of ids of a large game this is a few times as fast as
// comparing; small sets are left to std::sort.
void sort_keys(std::vector<SortKey>& keys) {
  if (keys.size() < 4096) {
    std::sort(keys.begin(), keys.end());
    return;
  }
  std::vector<SortKey> moved(keys.size(), SortKey(std::string_view()));
  std::vector<std::size_t> start(std::size_t{1} << 16);
  for (int shift = 0; shift < 64; shift += 16) {
    const auto digit = [shift](const SortKey& k) { return (k.head >> shift) & 0xFFFF; };
    std::fill(start.begin(), start.end(), 0);
    for (const SortKey& k : keys) ++start[digit(k)];
    if (start[digit(keys.front())] == keys.size()) continue;
    std::size_t sum = 0;
    for (std::size_t& n : start) sum += std::exchange(n, sum);
    for (const SortKey& k : keys) moved[start[digit(k)]++] = k;
    keys.swap(moved);
  }
  for (auto run = keys.begin(); run != keys.end();) {
    const auto end =
        std::find_if(run, keys.end(), [&](const SortKey& k) { return k.head != run->head; });
    if (end - run > 1) std::sort(run, end);
    run = end;
  }
}

std::string sorted_concat(std::vector<SortKey>& keys) {
  sort_keys(keys);
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  std::size_t size = 0;
  for (const SortKey& k : keys) size += k.text.size();
  std::string out;
  out.reserve(size);
  for (const SortKey& k : keys) out += k.text;
  return out;
}

}  // namespace

std::string data_hash(const Value& p_dat) {
  std::vector<SortKey> images, content;
  if (p_dat.is_map()) {
    for (const auto& [key, value] : p_dat.as_map()) {
      if (key == "sections" || !value.is_map()) continue;
      auto& into = key.find("img") != std::string::npos ? images : content;
      const std::size_t need = into.size() + value.as_map().size();
      if (need > into.capacity()) into.reserve(std::max(need, 2 * into.capacity()));
      for (const auto& entry : value.as_map()) into.emplace_back(entry.key());
    }
  }
  return hash_string(sorted_concat(content), 16) + hash_string(sorted_concat(images), 4);
}

bool data_compare(Value& p_new, const Value& p_cur, Window* p_app) {
  if (!data_is_valid(p_new)) {
    info("Target dialogue is corrupt.\nTry updating.", p_app);
    return false;
  }
  if (!data_is_valid(p_cur)) {
    info("Current dialogue data format is invalid.", p_app);
    return false;
  }
  const Value& stamp = p_new["ver_hash"];
  // A stamp that is not a text is no stamp at all.
  if (!stamp.is_text() || stamp.as_text().find(':') == std::string::npos) {
    info("Version N/A. Dialogue file may predate Episode 3.");
    return false;
  }
  const std::string old_stamp(stamp.as_text());
  const std::string label = old_stamp.substr(0, old_stamp.find(" : "));
  const std::string new_stamp = label + " : " + data_hash(p_new);
  const std::string ref_stamp = text_form(p_cur["ver_hash"]);

  if (without_last4(new_stamp) != without_last4(ref_stamp)) {
    info("\nVersion not supported: " + new_stamp + " != " + ref_stamp, p_app);
    return false;
  }
  if (last4(new_stamp) != last4(ref_stamp)) {
    if (!p_app) {
      info("WARNING: Images missing.");
    } else if (!p_app->popup_yes_no("Images missing.\n\nDo you want to build anyway?",
                                    kConfirmTitle)) {
      info("\nCanceling build.", p_app);
      return false;
    }
  }
  p_new["ver_hash"] = Value(new_stamp);

  const Map& mine = p_new.as_map();
  for (const auto& [key, value] : p_cur.as_map()) {
    if (!value.is_map() || key == "img_data") continue;
    const Value* theirs = mine.find(key);
    const Map* have = theirs && theirs->is_map() ? &theirs->as_map() : nullptr;
    for (const auto& entry : value.as_map()) {
      if (!have || !have->contains(entry.key())) {
        info("Target dialogue is missing content.\nTry updating.", p_app);
        return false;
      }
    }
  }
  return true;
}

std::string hash_path(std::string_view p_path, long long p_len) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t sep = p_path.find_first_of("\\/", start);
    parts.push_back(p_path.substr(start, sep == std::string_view::npos ? sep : sep - start));
    if (sep == std::string_view::npos) break;
    start = sep + 1;
  }
  std::string joined;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i) joined += '/';
    joined += parts[i];
  }
  std::string digest = hash_string(joined, p_len);
  if (py_upper(p_path).find("[BUST]") != std::string::npos) digest += "[BUST]";
  if (parts.back().starts_with('!')) digest.insert(digest.begin(), '!');
  // The joined path with its last part replaced by the digest.
  joined.resize(joined.size() - parts.back().size());
  return joined + digest;
}

}  // namespace verbix
