// SHA-256 with the x86 SHA extensions: each 64-byte block is four message loads, the message
// schedule by sha256msg1/sha256msg2, and 64 rounds by 32 sha256rnds2 (two rounds each), the
// state kept as the ABEF and CDGH halves the instructions work on.
#include "data/sha256_blocks.h"

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#include <cpuid.h>
#include <immintrin.h>

namespace verbix::detail {
namespace {

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
      __m128i msg = _mm_add_epi32(
          w[j], _mm_load_si128(reinterpret_cast<const __m128i*>(kSha256Round + 4 * j)));
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
