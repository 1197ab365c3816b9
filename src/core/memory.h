#pragma once

#include <QtGlobal>

namespace utils {

// One heap for every thread: what any thread frees, a capture's picture read by Qt's X11 event thread
// among it, lies where releaseFreedMemory reaches it whole (the heaps of other threads keep their free
// tops). Call once, at start, before any thread.
void useOneHeap();

// From now on every block of 8 MiB or more goes back to the system as soon as it is freed. Left alone,
// the allocator raises that limit to the largest block freed so far, and screen pictures (33 MB each on
// a 4K screen) then stay in its heaps for good. Call once, at start, and again to end keepFreedBlocks.
void returnLargeBlocksWhenFreed();

// Until returnLargeBlocksWhenFreed, blocks of any size come from the heap and stay there when freed,
// already in memory for whoever asks next: the next capture's pictures then cost no page faults.
void keepFreedBlocks();

// While keepFreedBlocks holds: leaves `bytes` of the heap free for the next large blocks and faults them
// in on every core at once. A page fault each 4 KiB on one thread costs about 11 ms for a 4K picture.
// Where the kernel can (Linux 5.14 on), the global pool's threads do it after this returns, while the
// caller goes on.
void faultInFreeMemory(qint64 bytes);

// Hands the memory that the process has freed back to the system, also what lies between blocks still
// in use. Costs a few milliseconds: call it after a large release, not in a loop.
void releaseFreedMemory();

} // namespace utils
