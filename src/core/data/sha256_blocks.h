// The block functions of SHA-256: the portable one, and where the processor has the SHA
// instructions (x86-64 with SHA-NI, most processors since 2017), one that uses them, about
// five times faster. Both take the eight state words and whole 64-byte blocks.
#pragma once

#include <cstddef>
#include <cstdint>

namespace verbix::detail {

using Sha256Blocks = void (*)(std::uint32_t* p_state, const std::uint8_t* p_data,
                              std::size_t p_blocks);

void sha256_blocks_portable(std::uint32_t* p_state, const std::uint8_t* p_data,
                            std::size_t p_blocks);

// The SHA-NI function when this processor has the instructions, else null.
Sha256Blocks sha256_blocks_hardware();

// The function digests use: the hardware one when there is one and `p_hardware`, else the
// portable one. Returns whether the hardware one is now used (for tests of both).
bool sha256_use_hardware(bool p_hardware);

}  // namespace verbix::detail
