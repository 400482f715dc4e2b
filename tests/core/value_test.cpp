#include "data/value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "utils/data_error.h"

namespace verbix {
namespace {

std::vector<std::string> keys_of(const Map& m) {
  std::vector<std::string> keys;
  for (const auto& [key, value] : m) keys.push_back(key);
  return keys;
}

std::string key(int i) { return "k" + std::to_string(i); }

// -- Order and lookup --

TEST(MapOrder, KeysComeBackInInsertionOrderAndReplacingKeepsThePlace) {
  Map m;
  m.set("b", 1);
  m.set("a", 2);
  m.set("c", 3);
  m.set("a", 20);
  EXPECT_EQ(keys_of(m), (std::vector<std::string>{"b", "a", "c"}));
  EXPECT_EQ(m.at("a"), Value(20));
}

TEST(MapOrder, EraseKeepsTheOthersAndReinsertingGoesToTheEnd) {
  // Both below and above the size where the hash index takes over.
  for (const int n : {5, 40}) {
    Map m;
    for (int i = 0; i < n; ++i) m.set(key(i), i);
    ASSERT_TRUE(m.erase(key(2)));
    EXPECT_FALSE(m.erase(key(2)));
    m.set(key(2), 99);
    std::vector<std::string> want;
    for (int i = 0; i < n; ++i)
      if (i != 2) want.push_back(key(i));
    want.push_back(key(2));
    EXPECT_EQ(keys_of(m), want) << n;
    EXPECT_EQ(m.size(), static_cast<std::size_t>(n));
    EXPECT_EQ(*m.find(key(2)), Value(99));
  }
}

TEST(MapOrder, ErasingMostKeysOfABigMapLeavesTheRestFindableInOrder) {
  constexpr int n = 100000;
  Map m;
  for (int i = 0; i < n; ++i) m.set(key(i), i);
  for (int i = 0; i < n; ++i) {
    if (i % 10) {
      ASSERT_TRUE(m.erase(key(i)));
    }
  }
  ASSERT_EQ(m.size(), static_cast<std::size_t>(n / 10));
  for (int i = 0; i < n; ++i) {
    const Value* v = m.find(key(i));
    if (i % 10) {
      ASSERT_EQ(v, nullptr) << i;
    } else {
      ASSERT_NE(v, nullptr) << i;
      ASSERT_EQ(*v, Value(i));
    }
  }
  int expect = 0;
  for (const auto& [k, v] : m) {
    ASSERT_EQ(k, key(expect));
    expect += 10;
  }
  m.set("new", 1);
  EXPECT_EQ(keys_of(m).back(), "new");
}

TEST(MapOrder, AMillionKeysBuildFindAndWalk) {
  constexpr int n = 1000000;
  Map m;
  for (int i = 0; i < n; ++i) m.set(key(i), i);
  ASSERT_EQ(m.size(), static_cast<std::size_t>(n));
  for (int i = 0; i < n; i += 7) ASSERT_EQ(m.find(key(i))->as_int(), i);
  EXPECT_EQ(m.find("absent"), nullptr);
  std::int64_t i = 0;
  for (const auto& [k, v] : m) ASSERT_EQ(v.as_int(), i++);
}

TEST(MapLookup, LookupsInOrderFindOnlyLiveKeysAcrossErasesAndCompaction) {
  Map m;
  for (int i = 0; i < 40; ++i) m.set(i == 20 ? std::string() : key(i), i);
  // The key after 19 is the empty one; once it is erased, an in-order lookup of "" must not
  // land on its place.
  ASSERT_EQ(m.find(key(19))->as_int(), 19);
  ASSERT_TRUE(m.erase(""));
  EXPECT_EQ(m.find(""), nullptr);
  ASSERT_EQ(m.find(key(19))->as_int(), 19);
  EXPECT_EQ(m.find(""), nullptr);
  // Erasing most keys compacts the entries under the positions last found.
  ASSERT_EQ(m.find(key(38))->as_int(), 38);
  for (int i = 0; i < 36; ++i) {
    if (i != 20) {
      ASSERT_TRUE(m.erase(key(i)));
    }
  }
  for (int i = 39; i >= 36; --i) ASSERT_EQ(m.find(key(i))->as_int(), i);
  for (int i = 36; i < 40; ++i) ASSERT_EQ(m.find(key(i))->as_int(), i);
  EXPECT_EQ(m.find(key(35)), nullptr);
  EXPECT_EQ(m.find(key(40)), nullptr);
}

TEST(MapLookup, IndexerInsertsNoneAtTheEndAndTryEmplaceTakesNothingWhenPresent) {
  Map m{{"a", 1}};
  EXPECT_TRUE(m["b"].is_none());
  EXPECT_EQ(keys_of(m), (std::vector<std::string>{"a", "b"}));

  std::string k = "a";
  Value v = "kept";
  auto [present, added] = m.try_emplace(std::move(k), std::move(v));
  EXPECT_FALSE(added);
  EXPECT_EQ(*present, Value(1));
  EXPECT_EQ(k, "a");  // not taken
  EXPECT_EQ(v, Value("kept"));
}

TEST(MapLookup, AtOfAMissingKeyThrows) {
  const Map m{{"a", 1}};
  EXPECT_THROW(m.at("b"), DataError);
  const Value v = m;
  EXPECT_THROW(v["b"], DataError);
  EXPECT_EQ(v.find("b"), nullptr);
  EXPECT_EQ(Value(3).find("b"), nullptr);
}

// -- Copies --

TEST(CopyOnWrite, ChangingACopyLeavesTheOriginal) {
  Value original = Map{{"list", List{1, 2}}, {"map", Map{{"x", "y"}}}};
  Value copy = original;
  copy["list"].as_list().push_back(3);
  copy["map"]["x"] = "changed";
  copy.as_map().erase("map");
  EXPECT_EQ(original, Value(Map{{"list", List{1, 2}}, {"map", Map{{"x", "y"}}}}));
  EXPECT_EQ(copy, Value(Map{{"list", List{1, 2, 3}}}));
}

TEST(CopyOnWrite, FindOnAMissingKeyDoesNotUnshare) {
  Value original = Map{{"a", 1}};
  Value copy = original;
  EXPECT_EQ(copy.find("b"), nullptr);
  EXPECT_EQ(detail::TreeAccess::share_count(original), 2u);
}

TEST(CopyOnWrite, AssigningAChildToItsParentKeepsTheChild) {
  Value v = List{List{"inner"}};
  v = v[std::size_t{0}];
  EXPECT_EQ(v, Value(List{"inner"}));
  Value m = Map{{"a", Map{{"b", 1}}}};
  m = std::move(m["a"]);
  EXPECT_EQ(m, Value(Map{{"b", 1}}));
}

// -- Equality --

struct EqualityCase {
  const char* name;
  Value a, b;
  bool equal;
};

TEST(Equality, FollowsPython) {
  const double nan = std::nan("");
  const EqualityCase cases[] = {
      {"dict order is not compared", Map{{"a", 1}, {"b", 2}}, Map{{"b", 2}, {"a", 1}}, true},
      {"list order is", List{1, 2}, List{2, 1}, false},
      {"int equals float", 1, 1.0, true},
      {"True equals 1", true, 1, true},
      {"False equals 0.0", false, 0.0, true},
      {"int compares exactly with float", std::int64_t{9007199254740993}, 9007199254740992.0,
       false},
      {"nan is not nan", nan, nan, false},
      {"str is not bytes", "a", Value::bytes("a"), false},
      {"None equals None", Value(), Value(), true},
      {"empty dict is not empty list", Value::map(), Value::list(), false},
      {"None is not 0", Value(), 0, false},
      {"nested difference", Map{{"a", List{Map{{"x", 1}}}}}, Map{{"a", List{Map{{"x", 2}}}}},
       false},
      {"missing key", Map{{"a", 1}}, Map{{"b", 1}}, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.a == c.b, c.equal) << c.name;
    EXPECT_EQ(c.b == c.a, c.equal) << c.name;
  }
}

// -- Kinds --

TEST(Kinds, WrongAccessThrowsWithBothKindNames) {
  try {
    Value(5).as_text();
    FAIL();
  } catch (const DataError& e) {
    EXPECT_STREQ(e.what(), "expected str, got int");
  }
  EXPECT_THROW(Value("x").as_bytes(), DataError);
  EXPECT_THROW(Value::bytes("x").as_list(), DataError);
  EXPECT_THROW(Value(true).as_int(), DataError);
}

TEST(Kinds, ReprReadsLikePython) {
  const Value v = Map{{"a", List{1, -2.5, 3.0, "it's", Value::bytes(std::string("\0\xff'", 3))}},
                      {"b", Value()},
                      {"c", true}};
  EXPECT_EQ(repr(v), "{'a': [1, -2.5, 3.0, \"it's\", b\"\\x00\\xff'\"], 'b': None, 'c': True}");
}

// -- Depth --

Value nested(int depth) {
  Value v = Value::list();
  for (int i = 0; i < depth; ++i) v = Value(List{std::move(v)});
  return v;
}

TEST(Depth, AMillionLevelsAreDestroyedComparedAndCopiedWithoutRecursion) {
  Value a = nested(1000000);
  Value b = nested(1000000);
  EXPECT_EQ(a, b);
  Value c = a;  // shares
  c.as_list().push_back(1);
  EXPECT_FALSE(a == c);
  // Leaving the scope destroys three trees a million levels deep.
}

TEST(Depth, AMillionLevelsOfMapsAreDestroyedWithoutRecursion) {
  Value v = Value::map();
  for (int i = 0; i < 1000000; ++i) v = Value(Map{{"x", std::move(v)}});
  v = Value();
  EXPECT_TRUE(v.is_none());
}

}  // namespace
}  // namespace verbix
