#include "data/sha256.h"

#include "data/sha256_blocks.h"

#include <gtest/gtest.h>

#include <string>

namespace verbix {
namespace {

struct Digest {
  std::string message;
  const char* hex;
};

TEST(Sha256, KnownDigestsIncludingEveryPaddingBoundary) {
  const Digest cases[] = {
      // FIPS 180-4 examples
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
      // hashlib.sha256(b"a" * n) where the length field moves to a block of its own
      {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
      {std::string(56, 'a'), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
      {std::string(57, 'a'), "f13b2d724659eb3bf47f2dd6af1accc87b81f09f59f2b75e5c0bed6589dfe8c6"},
      {std::string(63, 'a'), "7d3e74a05d7db15bce4ad9ec0658ea98e3f06eeecf16b4c6fff2da457ddc2f34"},
      {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
      {std::string(65, 'a'), "635361c48bb9eab14198e76ea8ab7f1a41685d6ad62aa9146d301d4f17eb0ae0"},
      {std::string(119, 'a'), "31eba51c313a5c08226adf18d4a359cfdfd8d2e816b13f4af952f7ea6584dcfb"},
      {std::string(120, 'a'), "2f3d335432c70b580af0e8e1b3674a7c020d683aa5f73aaaedfdc55af904c21c"},
  };
  // Both block functions where the processor has the SHA instructions, and the portable one
  // where it has not.
  for (const bool hardware : {true, false}) {
    const bool used = detail::sha256_use_hardware(hardware);
    for (const auto& c : cases)
      EXPECT_EQ(sha256_hex(c.message), c.hex) << c.message.size() << (used ? " SHA-NI" : "");
  }
  detail::sha256_use_hardware(true);
}

TEST(Sha256, PiecesGiveTheDigestOfTheWhole) {
  std::string message;
  for (int i = 0; i < 300; ++i) message += static_cast<char>(i * 31);
  const std::string whole = sha256_hex(message);
  for (std::size_t cut = 0; cut <= message.size(); cut += 7) {
    Sha256 sha;
    sha.update(std::string_view(message).substr(0, cut));
    sha.update(std::string_view(message).substr(cut));
    std::string hex;
    for (const auto b : sha.digest()) {
      static const char* digits = "0123456789abcdef";
      hex += digits[b >> 4];
      hex += digits[b & 15];
    }
    EXPECT_EQ(hex, whole) << cut;
  }
}

TEST(Sha256, ManyStringsHashedOnSeveralThreadsKeepTheirOrder) {
  // Enough bytes that the work is spread over threads; sizes differ so that they finish out of
  // order.
  std::vector<std::string> messages;
  for (int i = 0; i < 40; ++i)
    messages.emplace_back(static_cast<std::size_t>(i) * 300'000 % 1'700'001,
                          static_cast<char>('a' + i % 26));
  const std::vector<std::string_view> views(messages.begin(), messages.end());
  const std::vector<std::string> digests = sha256_hex_all(views);
  ASSERT_EQ(digests.size(), messages.size());
  for (std::size_t i = 0; i < messages.size(); ++i)
    EXPECT_EQ(digests[i], sha256_hex(messages[i])) << i;
  EXPECT_TRUE(sha256_hex_all({}).empty());
}

}  // namespace
}  // namespace verbix
