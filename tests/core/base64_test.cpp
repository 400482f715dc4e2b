#include "data/base64.h"

#include <gtest/gtest.h>

#include "utils/data_error.h"

namespace verbix {
namespace {

TEST(Base64Encode, Rfc4648Vectors) {
  const std::pair<const char*, const char*> cases[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"},
  };
  for (const auto& [raw, text] : cases) {
    EXPECT_EQ(base64_encode(raw), text);
    EXPECT_EQ(base64_decode(text), raw);
  }
  EXPECT_EQ(base64_encode(std::string("\xff\xfe\x00", 3)), "//4A");
}

struct Decoded {
  std::string text;
  std::string bytes;
};

TEST(Base64Decode, IsLenientAsPython) {
  // base64.b64decode(text.encode("utf-8")) of CPython 3.12
  const Decoded cases[] = {
      {"Zm9v\n", "foo"},
      {"Zm 9v", "foo"},
      {"Zm9vYg==garbage", "foob"},  // input after complete padding is ignored
      {"=Zm9v", "foo"},             // padding where no quad is open is skipped
      {"Zm=9v", "foo"},
      {"Zg=a=", "f\x06"},
      {"Zm9vYmE=Zm9v", "fooba"},
      {"Zm9vYmFy====", "foobar"},
      {"", ""},
      {"!!!", ""},
      {std::string("Zg==\0", 5), "f"},
      {"Zm9\xc3\xa9v", "foo"},  // the bytes of a non-ASCII character are stray too
  };
  for (const auto& c : cases) EXPECT_EQ(base64_decode(c.text), c.bytes) << c.text;
}

TEST(Base64Decode, WrongLengthOrPaddingFailsWithPythonsText) {
  const std::pair<const char*, const char*> cases[] = {
      {"Zm9vYg=", "Incorrect padding"},
      {"Zg", "Incorrect padding"},
      {"Zm8", "Incorrect padding"},
      {"Zm9vY",
       "Invalid base64-encoded string: number of data characters (5) cannot be 1 more than a "
       "multiple of 4"},
      {"Z===",
       "Invalid base64-encoded string: number of data characters (1) cannot be 1 more than a "
       "multiple of 4"},
  };
  for (const auto& [text, message] : cases) {
    try {
      base64_decode(text);
      ADD_FAILURE() << text;
    } catch (const DataError& e) {
      EXPECT_STREQ(e.what(), message) << text;
    }
  }
}

}  // namespace
}  // namespace verbix
