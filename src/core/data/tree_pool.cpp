#include "data/tree_pool.h"

#include <atomic>
#include <mutex>
#include <new>
#include <tuple>
#include <utility>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define VERBIX_POOL_OFF 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VERBIX_POOL_OFF 1
#endif
#endif

namespace verbix::detail {

#ifdef VERBIX_POOL_OFF

void* pool_allocate(std::size_t bytes) { return ::operator new(bytes); }
void pool_free(void* block, std::size_t) noexcept { ::operator delete(block); }

#else

namespace {

constexpr std::size_t kGrain = 16;
constexpr std::size_t kClasses = kPoolLargest / kGrain;
constexpr std::size_t kChunk = 64 * 1024;

struct FreeBlock {
  FreeBlock* next;
};

std::size_t class_of(std::size_t bytes) { return bytes == 0 ? 0 : (bytes - 1) / kGrain; }

// One thread's free lists and the rest of the chunk it cuts new blocks from. Trivial, so that
// reaching it costs no initialisation check.
struct Cache {
  FreeBlock* free[kClasses];
  char* next;
  char* end;
};
thread_local Cache t_cache;

// What ended threads left: their free lists (whole, as walking one of millions of blocks to
// join it to another would cost more than freeing them did) and the uncut rests of their
// chunks, and every chunk ever made (so that they stay reachable for leak checkers). Never
// destroyed, as threads may end after static destruction.
struct Depot {
  std::mutex lock;
  std::vector<FreeBlock*> free[kClasses];
  std::atomic<bool> has[kClasses] = {};
  std::vector<std::pair<char*, char*> > rests;
  std::atomic<bool> has_rests{false};
  std::vector<void*> chunks;
};

Depot& depot() {
  static Depot* shared = new Depot;
  return *shared;
}

void push(FreeBlock*& list, void* block) noexcept {
  auto* b = static_cast<FreeBlock*>(block);
  b->next = list;
  list = b;
}

// Hands the thread's free blocks and its chunk's rest to the depot when the thread ends.
struct Leaver {
  bool armed = false;
  ~Leaver() {
    if (!armed) return;
    Depot& d = depot();
    std::lock_guard<std::mutex> hold(d.lock);
    try {
      for (std::size_t c = 0; c < kClasses; ++c) {
        if (!t_cache.free[c]) continue;
        d.free[c].push_back(t_cache.free[c]);
        t_cache.free[c] = nullptr;
        d.has[c].store(true, std::memory_order_relaxed);
      }
      if (t_cache.next != t_cache.end) {
        d.rests.emplace_back(t_cache.next, t_cache.end);
        d.has_rests.store(true, std::memory_order_relaxed);
      }
    } catch (...) {  // out of memory: what is left is lost, not the blocks in use
    }
    t_cache.next = t_cache.end = nullptr;
  }
};
thread_local Leaver t_leaver;

// Takes the depot's free list of class `c` into the thread's; false when it has none.
bool take_from_depot(std::size_t c) {
  Depot& d = depot();
  if (!d.has[c].load(std::memory_order_relaxed)) return false;
  std::lock_guard<std::mutex> hold(d.lock);
  if (d.free[c].empty()) return false;
  t_cache.free[c] = d.free[c].back();
  d.free[c].pop_back();
  d.has[c].store(!d.free[c].empty(), std::memory_order_relaxed);
  return true;
}

// A fresh region to cut blocks from: a rest an ended thread left, or a new chunk. The rest
// of the current region becomes one free block of the largest class it holds.
void refill() {
  Cache& c = t_cache;
  const auto left = static_cast<std::size_t>(c.end - c.next);
  if (left >= kGrain) push(c.free[left / kGrain - 1], c.next);
  t_leaver.armed = true;
  Depot& d = depot();
  if (d.has_rests.load(std::memory_order_relaxed)) {
    std::lock_guard<std::mutex> hold(d.lock);
    if (!d.rests.empty()) {
      std::tie(c.next, c.end) = d.rests.back();
      d.rests.pop_back();
      d.has_rests.store(!d.rests.empty(), std::memory_order_relaxed);
      return;
    }
  }
  void* chunk = ::operator new(kChunk);
  {
    std::lock_guard<std::mutex> hold(d.lock);
    try {
      d.chunks.push_back(chunk);
    } catch (...) {
      ::operator delete(chunk);
      throw;
    }
  }
  c.next = static_cast<char*>(chunk);
  c.end = c.next + kChunk;
}

void* cut(std::size_t c) {
  const std::size_t size = (c + 1) * kGrain;
  Cache& cache = t_cache;
  if (static_cast<std::size_t>(cache.end - cache.next) < size) refill();
  void* block = cache.next;
  cache.next += size;
  return block;
}

}  // namespace

void* pool_allocate(std::size_t bytes) {
  if (bytes > kPoolLargest) return ::operator new(bytes);
  const std::size_t c = class_of(bytes);
  FreeBlock*& list = t_cache.free[c];
  if (!list && !take_from_depot(c)) return cut(c);
  FreeBlock* b = list;
  list = b->next;
  return b;
}

void pool_free(void* block, std::size_t bytes) noexcept {
  if (!block) return;
  if (bytes > kPoolLargest) {
    ::operator delete(block);
    return;
  }
  push(t_cache.free[class_of(bytes)], block);
}

#endif

}  // namespace verbix::detail
