#include "core/memory.h"

// Any C library header defines __GLIBC__ under glibc.
#include <cstdlib>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace utils {

void returnLargeBlocksWhenFreed()
{
#ifdef __GLIBC__
    // A fixed value also ends the raising of the heap's trim limit along with it.
    mallopt(M_MMAP_THRESHOLD, 8 * 1024 * 1024);
#endif
}

void releaseFreedMemory()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

} // namespace utils
