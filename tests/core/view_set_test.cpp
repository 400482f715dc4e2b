#include "utils/view_set.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace verbix {
namespace {

TEST(ViewSet, EachTextIsAddedOnceAndStaysFoundWhileTheSetGrows) {
  std::vector<std::string> texts{""};
  for (int i = 0; i < 5000; ++i) texts.push_back("id_" + std::to_string(i));
  ViewSet set;
  EXPECT_FALSE(set.contains("id_0"));
  for (const std::string& t : texts) ASSERT_TRUE(set.insert(t)) << t;
  for (const std::string& t : texts) {
    const std::string copy = t;  // equal text, other bytes
    ASSERT_FALSE(set.insert(copy)) << t;
    ASSERT_TRUE(set.contains(copy)) << t;
  }
  EXPECT_EQ(set.size(), texts.size());
  EXPECT_FALSE(set.contains("id_5000"));
  const ViewSet from(texts.begin() + 1, texts.begin() + 3);
  EXPECT_TRUE(from.contains("id_1"));
  EXPECT_FALSE(from.contains(""));
}

}  // namespace
}  // namespace verbix
