// The allocator of the value tree's small blocks: list and map payloads, their element
// arrays, map indexes and long texts. A tree is millions of blocks of a few dozen bytes made
// and freed together; the C library's allocator spends a header and a merge on each. Here
// blocks of up to kPoolLargest bytes are cut from 64 KiB chunks in classes of 16 bytes and
// freed onto a free list of the freeing thread, which the next block of that class reuses.
// Larger blocks go to operator new. Memory of a freed block stays with the pool for the next
// tree rather than going back to the system. A thread that ends hands its free blocks to the
// threads that remain.
//
// Built with AddressSanitizer, every block comes from operator new, so that a block used
// after it was freed is still caught.
#pragma once

#include <cstddef>

namespace verbix::detail {

inline constexpr std::size_t kPoolLargest = 512;

// A block of at least `bytes` bytes, aligned to 16. Throws std::bad_alloc.
void* pool_allocate(std::size_t bytes);
// Gives back a block from pool_allocate; `bytes` is the size it was asked for.
void pool_free(void* block, std::size_t bytes) noexcept;
// The bytes of the chunks the pool has taken from the system so far (0 without the pool).
std::size_t pool_reserved_bytes() noexcept;

// The standard allocator interface over the pool, for the tree's arrays.
template <class T>
struct PoolAllocator {
  using value_type = T;
  PoolAllocator() noexcept = default;
  template <class U>
  PoolAllocator(const PoolAllocator<U>&) noexcept {}
  // Room for `n` values; throws std::bad_alloc.
  T* allocate(std::size_t n) { return static_cast<T*>(pool_allocate(n * sizeof(T))); }
  void deallocate(T* p, std::size_t n) noexcept { pool_free(p, n * sizeof(T)); }
  template <class U>
  bool operator==(const PoolAllocator<U>&) const noexcept {
    return true;
  }
};

}  // namespace verbix::detail
