#include "data/pointer_map.h"

#include <gtest/gtest.h>

#include <vector>

namespace verbix {
namespace {

TEST(PointerMap, KeepsTheFirstNumberOfEachAddressThroughGrowth) {
  std::vector<int> objects(5000);
  PointerMap map;
  for (std::size_t i = 0; i < objects.size(); ++i)
    EXPECT_TRUE(map.insert(&objects[i], static_cast<std::uint32_t>(i)));
  EXPECT_FALSE(map.insert(&objects[7], 1));
  EXPECT_EQ(map.size(), objects.size());
  for (std::size_t i = 0; i < objects.size(); ++i) {
    const std::uint32_t* n = map.find(&objects[i]);
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(*n, i);
  }
  int other = 0;
  EXPECT_EQ(map.find(&other), nullptr);
}

}  // namespace
}  // namespace verbix
