// A map from addresses to 32-bit numbers, for the walks that must recognise an object they
// met before (a shared list in the pickle writer, a game entry in the statistics): open
// addressing in one array, so that adding or finding an address neither allocates nor
// follows a chain of nodes, as std::unordered_map does for each.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace verbix {

class PointerMap {
 public:
  explicit PointerMap(std::size_t p_expected = 0) { rehash(p_expected); }

  std::size_t size() const noexcept { return used_; }

  // The number stored for `p_key`, or null when it has none.
  const std::uint32_t* find(const void* p_key) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t pos = hash(p_key) & mask;; pos = (pos + 1) & mask) {
      if (slots_[pos].first == p_key) return &slots_[pos].second;
      if (slots_[pos].first == nullptr) return nullptr;
    }
  }

  // Stores `p_value` for `p_key` (not null) unless it has a number already. True when added.
  bool insert(const void* p_key, std::uint32_t p_value) {
    if (2 * (used_ + 1) > slots_.size()) rehash(2 * used_ + 2);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t pos = hash(p_key) & mask;; pos = (pos + 1) & mask) {
      if (slots_[pos].first == p_key) return false;
      if (slots_[pos].first == nullptr) {
        slots_[pos] = {p_key, p_value};
        ++used_;
        return true;
      }
    }
  }

 private:
  static std::size_t hash(const void* p) {
    // Fibonacci hashing of the address without its alignment bits.
    return static_cast<std::size_t>(
        (static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(p)) >> 3) *
            0x9E3779B97F4A7C15ull >>
        20);
  }
  void rehash(std::size_t p_expected) {
    std::size_t cap = 16;
    while (cap < 2 * p_expected + 2) cap <<= 1;
    if (cap <= slots_.size()) return;
    std::vector<std::pair<const void*, std::uint32_t>> old(cap, {nullptr, 0});
    old.swap(slots_);
    used_ = 0;
    for (const auto& [key, value] : old)
      if (key) insert(key, value);
  }

  std::vector<std::pair<const void*, std::uint32_t>> slots_;
  std::size_t used_ = 0;
};

}  // namespace verbix
