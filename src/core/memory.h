#pragma once

namespace utils {

// From now on every block of 8 MiB or more goes back to the system as soon as it is freed. Left alone,
// the allocator raises that limit to the largest block freed so far, and screen pictures (33 MB each on
// a 4K screen) then stay in its heaps for good. Call once, at start.
void returnLargeBlocksWhenFreed();

// Hands the memory that the process has freed back to the system, also what lies between blocks still
// in use. Costs a few milliseconds: call it after a large release, not in a loop.
void releaseFreedMemory();

} // namespace utils
