// SHA-256 (FIPS 180-4), for the short fingerprints of texts and records.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace verbix {

class Sha256 {
 public:
  Sha256();
  // Adds bytes to the message; may be called any number of times.
  void update(std::string_view data);
  // The 32-byte digest of everything added. The object is spent afterwards.
  std::array<std::uint8_t, 32> digest();

 private:
  std::array<std::uint32_t, 8> h_;
  std::array<std::uint8_t, 64> buf_{};
  std::size_t buf_len_ = 0;
  std::uint64_t total_ = 0;
};

// The digest of `data` as 64 lower-case hexadecimal characters.
std::string sha256_hex(std::string_view data);

// The digests of many byte strings (a game's images), in their order: spread over the
// machine's cores when there is enough to hash, since hashing is a large part of Create.
// The strings must stay unchanged until it returns.
std::vector<std::string> sha256_hex_all(const std::vector<std::string_view>& items);

}  // namespace verbix
