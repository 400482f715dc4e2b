// How the C library's allocator is used. The value tree is millions of small blocks that are
// made together and freed together; these settings keep that cheap and give freed memory back.
#pragma once

#include <string_view>

namespace verbix {

// What the window and the command line say when an allocation fails during a workflow.
inline constexpr std::string_view kOutOfMemory =
    "Out of memory: the work was stopped and no file was left half-written. Close other "
    "programs and try again.";

// Sets the allocator up for the tool's pattern of use; called once at start-up by each
// program (the command line, the Python module). glibc keeps freed small blocks unmerged in
// "fast bins" and later merges them all in one pass, which made freeing a large tree cost as
// much as building it; without fast bins blocks are merged as they are freed. Elsewhere this
// does nothing.
void tune_allocator() noexcept;

// Hands memory the allocator holds freed back to the system (glibc only).
void release_free_memory() noexcept;

}  // namespace verbix
