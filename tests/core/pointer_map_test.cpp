#include "data/ordered_finder.h"

#include <gtest/gtest.h>

#include <string>

#include "data/pointer_map.h"

namespace verbix {
namespace {

Map numbered(int n) {
  Map m;
  for (int i = 0; i < n; ++i) m.set("k" + std::to_string(i), Value(i));
  return m;
}

TEST(OrderedFinder, FindsEveryKeyInOrderOutOfOrderAndAfterJumps) {
  const Map m = numbered(100);
  // In order, then backwards, then a jump and on in order from there, with misses between:
  // each must give the right value and the position of the entry found.
  std::vector<int> asked;
  for (int i = 0; i < 100; ++i) asked.push_back(i);
  for (int i = 99; i >= 0; --i) asked.push_back(i);
  for (int i = 40; i < 60; ++i) asked.push_back(i);
  asked.push_back(3);
  asked.push_back(4);
  OrderedFinder finder(m);
  for (const int i : asked) {
    EXPECT_EQ(finder.find("missing"), nullptr);
    const Value* v = finder.find("k" + std::to_string(i));
    ASSERT_NE(v, nullptr) << i;
    EXPECT_EQ(v->as_int(), i);
    EXPECT_EQ(finder.last_position(), static_cast<std::size_t>(i));
  }
  Map empty;
  EXPECT_EQ(OrderedFinder(empty).find("k0"), nullptr);
}

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
