#include "utils/memory.h"

#include <cstdlib>  // defines __GLIBC__ with the GNU C library

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace verbix {

void tune_allocator() noexcept {
#ifdef __GLIBC__
  mallopt(M_MXFAST, 0);
#endif
}

void release_free_memory() noexcept {
#ifdef __GLIBC__
  malloc_trim(0);
#endif
}

}  // namespace verbix
