// SHA-256 with the x86 SHA extensions: each 64-byte block is four message loads, the message
// schedule by sha256msg1/sha256msg2, and 64 rounds by 32 sha256rnds2 (two rounds each), the
// state kept as the ABEF and CDGH halves the instructions work on.
#include "data/sha256_blocks.h"

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#include <cpuid.h>
#include <immintrin.h>

namespace verbix::detail {
namespace {

alignas(16) constexpr std::uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

__attribute__((target("sha,sse4.1,ssse3"))) void blocks_sha_ni(std::uint32_t* p_state,
                                                               const std::uint8_t* p_data,
                                                               std::size_t p_blocks) {
  // Big-endian words from little-endian loads.
  const __m128i swap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
  __m128i tmp = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p_state));
  __m128i state1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p_state + 4));
  tmp = _mm_shuffle_epi32(tmp, 0xB1);                // CDAB
  state1 = _mm_shuffle_epi32(state1, 0x1B);          // EFGH
  __m128i state0 = _mm_alignr_epi8(tmp, state1, 8);  // ABEF
  state1 = _mm_blend_epi16(state1, tmp, 0xF0);       // CDGH

  for (; p_blocks > 0; --p_blocks, p_data += 64) {
    const __m128i abef = state0;
    const __m128i cdgh = state1;
    __m128i w[16];
    for (int j = 0; j < 4; ++j)
      w[j] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p_data + 16 * j)),
                              swap);
    for (int j = 4; j < 16; ++j)
      w[j] = _mm_sha256msg2_epu32(_mm_add_epi32(_mm_sha256msg1_epu32(w[j - 4], w[j - 3]),
                                                _mm_alignr_epi8(w[j - 1], w[j - 2], 4)),
                                  w[j - 1]);
    for (int j = 0; j < 16; ++j) {
      __m128i msg =
          _mm_add_epi32(w[j], _mm_load_si128(reinterpret_cast<const __m128i*>(kRound + 4 * j)));
      state1 = _mm_sha256rnds2_epu32(state1, state0, msg);
      msg = _mm_shuffle_epi32(msg, 0x0E);
      state0 = _mm_sha256rnds2_epu32(state0, state1, msg);
    }
    state0 = _mm_add_epi32(state0, abef);
    state1 = _mm_add_epi32(state1, cdgh);
  }

  tmp = _mm_shuffle_epi32(state0, 0x1B);        // FEBA
  state1 = _mm_shuffle_epi32(state1, 0xB1);     // DCHG
  state0 = _mm_blend_epi16(tmp, state1, 0xF0);  // DCBA
  state1 = _mm_alignr_epi8(state1, tmp, 8);     // HGFE
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p_state), state0);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p_state + 4), state1);
}

bool has_sha_ni() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
  const bool sha = (b >> 29) & 1;
  if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
  const bool sse41 = (c >> 19) & 1, ssse3 = (c >> 9) & 1;
  return sha && sse41 && ssse3;
}

}  // namespace

Sha256Blocks sha256_blocks_hardware() {
  static const bool present = has_sha_ni();
  return present ? blocks_sha_ni : nullptr;
}

}  // namespace verbix::detail

#else

namespace verbix::detail {
Sha256Blocks sha256_blocks_hardware() { return nullptr; }
}  // namespace verbix::detail

#endif
