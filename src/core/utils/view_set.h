// A set of text views for counting each id once while walking a record: open addressing
// over one array, so that adding an id costs no allocation of its own (a node-based set
// allocates and later frees one block per id). The views must outlive the set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace verbix {

class ViewSet {
 public:
  ViewSet() = default;
  // A set holding the views of [first, last).
  template <class It>
  ViewSet(It first, It last) {
    for (; first != last; ++first) insert(std::string_view(*first));
  }

  // True when `view` was added, false when an equal text was already in the set.
  bool insert(std::string_view view) {
    if (2 * (size_ + 1) > slots_.size()) grow();
    const std::size_t hash = std::hash<std::string_view>{}(view);
    Slot& slot = slots_[find(view, hash)];
    if (slot.used) return false;
    slot = {view, hash, true};
    ++size_;
    return true;
  }

  // Whether an equal text is in the set.
  bool contains(std::string_view view) const {
    return size_ != 0 && slots_[find(view, std::hash<std::string_view>{}(view))].used;
  }

  std::size_t size() const { return size_; }

 private:
  struct Slot {
    std::string_view view;
    std::size_t hash = 0;
    bool used = false;
  };

  // The slot holding `view`, else the free slot where it belongs.
  std::size_t find(std::string_view view, std::size_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
      const Slot& s = slots_[i];
      if (!s.used || (s.hash == hash && s.view == view)) return i;
    }
  }

  void grow() {
    std::vector<Slot> old(slots_.empty() ? 16 : 2 * slots_.size());
    old.swap(slots_);
    for (const Slot& s : old)
      if (s.used) slots_[find(s.view, s.hash)] = s;
  }

  std::vector<Slot> slots_;
  std::size_t size_ = 0;
};

}  // namespace verbix
