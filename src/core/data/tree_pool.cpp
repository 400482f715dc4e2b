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
std::size_t pool_reserved_bytes() noexcept { return 0; }

#else

namespace {

constexpr std::size_t kGrain = 16;
constexpr std::size_t kClasses = kPoolLargest / kGrain;
constexpr std::size_t kChunk = 64 * 1024;
// Free blocks move between a thread and the depot in batches of this many bytes: a thread
// holding two batches of one class hands one on, for any thread to take, and a thread out of
// blocks takes one. A thread that frees what others made (a tree read on a worker and dropped
// by the window) so does not strand the memory, and one that frees and allocates by turns
// does not go to the depot each time.
constexpr std::size_t kBatchBytes = 64 * 1024;

struct FreeBlock {
  FreeBlock* next;
};

std::size_t class_of(std::size_t bytes) { return bytes == 0 ? 0 : (bytes - 1) / kGrain; }
std::size_t batch_of(std::size_t c) { return kBatchBytes / ((c + 1) * kGrain); }

// One thread's free lists with their lengths, and the rest of the chunk it cuts new blocks
// from. Trivial, so that reaching it costs no initialisation check.
struct Cache {
  FreeBlock* free[kClasses];
  std::size_t count[kClasses];
  std::size_t held;  // free blocks of all classes
  char* next;
  char* end;
};
thread_local Cache t_cache;

struct Batch {
  FreeBlock* head;
  std::size_t count;
};

// Free blocks that threads handed on, in whole lists (joining one to another would walk it),
// the uncut rests of the chunks of ended threads, and every chunk ever made (so that they
// stay reachable for leak checkers). Never destroyed, as threads may end after static
// destruction.
struct Depot {
  std::mutex lock;
  std::vector<Batch> free[kClasses];
  std::atomic<bool> has[kClasses] = {};
  std::vector<std::pair<char*, char*> > rests;
  std::atomic<bool> has_rests{false};
  std::vector<void*> chunks;
};

Depot& depot() {
  static Depot* shared = new Depot;
  return *shared;
}

// Moves the thread's free list of class `c` to the depot (the depot's lock held). Throws
// std::bad_alloc, leaving the list with the thread.
void hand_on(Depot& d, std::size_t c) {
  Cache& cache = t_cache;
  if (!cache.free[c]) return;
  d.free[c].push_back({cache.free[c], cache.count[c]});
  d.has[c].store(true, std::memory_order_relaxed);
  cache.held -= cache.count[c];
  cache.free[c] = nullptr;
  cache.count[c] = 0;
}

// Keeps the first batch of the thread's free list of class `c` (the blocks freed last, still
// in the cache) and moves the rest to the depot.
void hand_on_batch(std::size_t c) noexcept {
  Cache& cache = t_cache;
  const std::size_t batch = batch_of(c);
  FreeBlock* last_kept = cache.free[c];
  for (std::size_t i = 1; i < batch; ++i) last_kept = last_kept->next;
  Depot& d = depot();
  std::lock_guard<std::mutex> hold(d.lock);
  try {
    d.free[c].push_back({last_kept->next, cache.count[c] - batch});
  } catch (...) {  // out of memory: the blocks stay with this thread
    return;
  }
  d.has[c].store(true, std::memory_order_relaxed);
  last_kept->next = nullptr;
  cache.held -= cache.count[c] - batch;
  cache.count[c] = batch;
}

// Hands the thread's free blocks and its chunk's rest to the depot when the thread ends.
struct Leaver {
  bool armed = false;
  ~Leaver() {
    if (!armed) return;
    Depot& d = depot();
    std::lock_guard<std::mutex> hold(d.lock);
    try {
      for (std::size_t c = 0; c < kClasses; ++c) hand_on(d, c);
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

// Takes a batch of class `c` from the depot as the thread's free list; false when it has none.
bool take_from_depot(std::size_t c) {
  Depot& d = depot();
  if (!d.has[c].load(std::memory_order_relaxed)) return false;
  std::lock_guard<std::mutex> hold(d.lock);
  if (d.free[c].empty()) return false;
  t_cache.free[c] = d.free[c].back().head;
  t_cache.count[c] = d.free[c].back().count;
  t_cache.held += t_cache.count[c];
  d.free[c].pop_back();
  d.has[c].store(!d.free[c].empty(), std::memory_order_relaxed);
  return true;
}

void push(std::size_t c, void* block) noexcept {
  auto* b = static_cast<FreeBlock*>(block);
  b->next = t_cache.free[c];
  t_cache.free[c] = b;
  ++t_cache.count[c];
  ++t_cache.held;
}

// A fresh region to cut blocks from: a rest an ended thread left, or a new chunk. The rest
// of the current region becomes one free block of the largest class it holds.
void refill() {
  Cache& c = t_cache;
  const auto left = static_cast<std::size_t>(c.end - c.next);
  if (left >= kGrain) push(left / kGrain - 1, c.next);
  c.next = c.end = nullptr;
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

// Makes a free block of class `c` from the thread's smallest free block of a larger class,
// whose rest becomes a free block of its own: memory a tree freed in one size serves the next
// in another before a new chunk is cut. False when the thread holds no larger free block.
bool split_larger(std::size_t c) noexcept {
  Cache& cache = t_cache;
  if (cache.held == 0) return false;  // while a tree is built: blocks are cut, none are free
  for (std::size_t k = c + 1; k < kClasses; ++k) {
    FreeBlock* b = cache.free[k];
    if (!b) continue;
    cache.free[k] = b->next;
    --cache.count[k];
    --cache.held;
    push(k - c - 1, reinterpret_cast<char*>(b) + (c + 1) * kGrain);
    push(c, b);
    return true;
  }
  return false;
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
  Cache& cache = t_cache;
  if (!cache.free[c] && !take_from_depot(c) && !split_larger(c)) return cut(c);
  FreeBlock* b = cache.free[c];
  cache.free[c] = b->next;
  --cache.count[c];
  --cache.held;
  return b;
}

std::size_t pool_reserved_bytes() noexcept {
  Depot& d = depot();
  std::lock_guard<std::mutex> hold(d.lock);
  return d.chunks.size() * kChunk;
}

void pool_free(void* block, std::size_t bytes) noexcept {
  if (!block) return;
  if (bytes > kPoolLargest) {
    ::operator delete(block);
    return;
  }
  const std::size_t c = class_of(bytes);
  push(c, block);
  if (t_cache.count[c] >= 2 * batch_of(c)) hand_on_batch(c);
}

#endif

}  // namespace verbix::detail
