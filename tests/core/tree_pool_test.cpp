#include "data/tree_pool.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "data/value.h"

namespace verbix {
namespace {

using detail::pool_allocate;
using detail::pool_free;

struct Block {
  unsigned char* at;
  std::size_t size;
  unsigned char mark;
};

Block fill(std::size_t size, unsigned char mark) {
  auto* at = static_cast<unsigned char*>(pool_allocate(size));
  std::memset(at, mark, size);
  return {at, size, mark};
}

bool intact(const Block& b) {
  for (std::size_t i = 0; i < b.size; ++i)
    if (b.at[i] != b.mark) return false;
  return true;
}

TEST(TreePool, BlocksOfEverySizeAreAlignedAndKeepTheirBytesWhileOthersAreFreedAndReused) {
  std::vector<Block> live;
  for (int round = 0; round < 6; ++round) {
    // Large blocks first in some rounds, so that small ones are then cut from freed large ones.
    for (std::size_t step = 0; step < 84; ++step) {
      const std::size_t size = 1 + 7 * (round % 2 ? 83 - step : step);
      for (int copy = 0; copy < 40; ++copy)
        live.push_back(fill(size, static_cast<unsigned char>(live.size() * 31 + 1)));
    }
    // Free every other block, so that the next round reuses them between live ones.
    std::vector<Block> kept;
    for (std::size_t i = 0; i < live.size(); ++i) {
      ASSERT_EQ(reinterpret_cast<std::uintptr_t>(live[i].at) % 16, 0u);
      ASSERT_TRUE(intact(live[i])) << "block of " << live[i].size << " bytes overwritten";
      if (i % 2)
        pool_free(live[i].at, live[i].size);
      else
        kept.push_back(live[i]);
    }
    live = std::move(kept);
  }
  for (const Block& b : live) {
    EXPECT_TRUE(intact(b));
    pool_free(b.at, b.size);
  }
}

Value sample_tree(int seed) {
  Map m;
  for (int i = 0; i < 50; ++i) {
    List lines;
    for (int j = 0; j < i % 5 + 1; ++j)
      lines.push_back(list_value(j, "line " + std::to_string(seed) + "/" + std::to_string(i) +
                                        " long enough to leave the value"));
    m.set("id_" + std::to_string(i), Value(std::move(lines)));
  }
  return Value(std::move(m));
}

TEST(TreePool, TreesMadeOnEndedThreadsAndFreedOnAnotherStayWholeAndTheirMemoryIsReused) {
  for (int round = 0; round < 4; ++round) {
    std::vector<Value> made(4);
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t)
      workers.emplace_back([&made, t] {
        made[t] = sample_tree(t);
        // A tree made and dropped here leaves free blocks for the thread to hand on.
        Value dropped = sample_tree(t + 100);
      });
    for (std::thread& w : workers) w.join();
    // A shared copy changed on a new thread while the main thread holds the original.
    Value shared = made[0];
    std::thread([&shared] { shared["id_3"].as_list().clear(); }).join();
    EXPECT_EQ(made[0]["id_3"].size(), 4u);
    EXPECT_EQ(shared["id_3"].size(), 0u);
    for (int t = 0; t < 4; ++t) EXPECT_EQ(made[t], sample_tree(t)) << "tree " << t;
  }
}

TEST(TreePool, TreesMadeOnOneThreadAndFreedOnAnotherReuseTheSameMemory) {
  constexpr int kRounds = 12;
  std::vector<std::promise<Value>> made(kRounds);
  std::vector<std::promise<void>> freed(kRounds);
  std::thread worker([&] {
    for (int r = 0; r < kRounds; ++r) {
      Map big;
      // Many chunks' worth, so that the few batches a thread keeps for itself are small
      // beside it.
      for (int i = 0; i < 300; ++i) big.set("t" + std::to_string(i), sample_tree(r));
      made[r].set_value(Value(std::move(big)));
      freed[r].get_future().wait();
    }
  });
  const std::size_t before = detail::pool_reserved_bytes();
  std::size_t first = 0;
  for (int r = 0; r < kRounds; ++r) {
    Value tree = made[r].get_future().get();
    ASSERT_EQ(tree["t0"], sample_tree(r));
    tree = Value();
    if (r == 0) first = detail::pool_reserved_bytes() - before;
    freed[r].set_value();
  }
  worker.join();
  if (first == 0) GTEST_SKIP() << "built without the pool";
  // The freeing thread hands the blocks on; the maker takes them instead of new chunks.
  EXPECT_LE(detail::pool_reserved_bytes() - before, 3 * first);
}

}  // namespace
}  // namespace verbix
