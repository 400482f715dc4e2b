#include "data/sha256.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

#include "data/sha256_blocks.h"

namespace verbix {
namespace {

constexpr std::uint32_t rotr(std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

}  // namespace

namespace detail {

void sha256_blocks_portable(std::uint32_t* p_state, const std::uint8_t* p_data,
                            std::size_t p_blocks) {
  for (; p_blocks > 0; --p_blocks, p_data += 64) {
    const std::uint8_t* p = p_data;
    std::uint32_t w[64];
    for (int i = 0; i < 16; ++i)
      w[i] = std::uint32_t{p[4 * i]} << 24 | std::uint32_t{p[4 * i + 1]} << 16 |
             std::uint32_t{p[4 * i + 2]} << 8 | std::uint32_t{p[4 * i + 3]};
    for (int i = 16; i < 64; ++i) {
      const std::uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
      const std::uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
      w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    std::uint32_t a = p_state[0], b = p_state[1], c = p_state[2], d = p_state[3], e = p_state[4],
                  f = p_state[5], g = p_state[6], h = p_state[7];
    for (int i = 0; i < 64; ++i) {
      const std::uint32_t t1 = h + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & f) ^ (~e & g)) +
                               kSha256Round[i] + w[i];
      const std::uint32_t t2 =
          (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
      h = g;
      g = f;
      f = e;
      e = d + t1;
      d = c;
      c = b;
      b = a;
      a = t1 + t2;
    }
    p_state[0] += a;
    p_state[1] += b;
    p_state[2] += c;
    p_state[3] += d;
    p_state[4] += e;
    p_state[5] += f;
    p_state[6] += g;
    p_state[7] += h;
  }
}

namespace {

std::atomic<Sha256Blocks> g_blocks{nullptr};

Sha256Blocks blocks_in_use() {
  Sha256Blocks f = g_blocks.load(std::memory_order_relaxed);
  if (!f) {
    f = sha256_blocks_hardware();
    if (!f) f = sha256_blocks_portable;
    g_blocks.store(f, std::memory_order_relaxed);
  }
  return f;
}

}  // namespace

bool sha256_use_hardware(bool p_hardware) {
  const Sha256Blocks hardware = sha256_blocks_hardware();
  const Sha256Blocks f = p_hardware && hardware ? hardware : sha256_blocks_portable;
  g_blocks.store(f, std::memory_order_relaxed);
  return f == hardware;
}

}  // namespace detail

Sha256::Sha256()
    : h_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
         0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19} {}

void Sha256::update(std::string_view data) {
  auto p = reinterpret_cast<const std::uint8_t*>(data.data());
  std::size_t n = data.size();
  total_ += n;
  if (buf_len_) {
    const std::size_t k = std::min(n, 64 - buf_len_);
    std::memcpy(buf_.data() + buf_len_, p, k);
    buf_len_ += k;
    p += k;
    n -= k;
    if (buf_len_ < 64) return;
    detail::blocks_in_use()(h_.data(), buf_.data(), 1);
    buf_len_ = 0;
  }
  if (n >= 64) {
    detail::blocks_in_use()(h_.data(), p, n / 64);
    p += n / 64 * 64;
    n %= 64;
  }
  std::memcpy(buf_.data(), p, n);
  buf_len_ = n;
}

std::array<std::uint8_t, 32> Sha256::digest() {
  const std::uint64_t bits = total_ * 8;
  const std::uint8_t one = 0x80;
  update(std::string_view(reinterpret_cast<const char*>(&one), 1));
  const std::uint8_t zero[64] = {};
  const std::size_t pad = (buf_len_ <= 56 ? 56 : 120) - buf_len_;
  update(std::string_view(reinterpret_cast<const char*>(zero), pad));
  std::uint8_t length[8];
  for (int i = 0; i < 8; ++i) length[i] = static_cast<std::uint8_t>(bits >> (56 - 8 * i));
  update(std::string_view(reinterpret_cast<const char*>(length), 8));
  std::array<std::uint8_t, 32> out;
  for (int i = 0; i < 8; ++i)
    for (int k = 0; k < 4; ++k) out[4 * i + k] = static_cast<std::uint8_t>(h_[i] >> (24 - 8 * k));
  return out;
}

std::string sha256_hex(std::string_view data) {
  Sha256 sha;
  sha.update(data);
  static const char* hex = "0123456789abcdef";
  std::string out;
  out.reserve(64);
  for (const std::uint8_t b : sha.digest()) {
    out += hex[b >> 4];
    out += hex[b & 15];
  }
  return out;
}

std::vector<std::string> sha256_hex_all(const std::vector<std::string_view>& items) {
  std::vector<std::string> out(items.size());
  std::size_t total = 0;
  for (const std::string_view item : items) total += item.size();
  // Below a few megabytes a thread costs more than it saves.
  constexpr std::size_t kPerThread = 4 << 20;
  const std::size_t threads = std::min<std::size_t>(
      {std::max(1u, std::thread::hardware_concurrency()), total / kPerThread + 1, 8});
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    for (std::size_t i = next++; i < items.size(); i = next++) out[i] = sha256_hex(items[i]);
  };
  {
    std::vector<std::jthread> helpers;  // joined at the end of this block, before `out` leaves
    for (std::size_t t = 1; t < threads; ++t) helpers.emplace_back(work);
    work();
  }
  return out;
}

}  // namespace verbix
