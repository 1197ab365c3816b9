#include "core/memory.h"

// Any C library header defines __GLIBC__ under glibc.
#include <cstdlib>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <QRunnable>
#include <QSemaphore>
#include <QThreadPool>

#include <algorithm>

namespace utils {

namespace {

#ifdef __GLIBC__
// The allocator's own defaults, as its manual gives them.
constexpr int kDefaultTrimThreshold = 128 * 1024;
constexpr int kDefaultMmapMax = 65536;
#endif

constexpr qint64 kPageSize = 4096;

} // namespace

void useOneHeap()
{
#ifdef __GLIBC__
    mallopt(M_ARENA_MAX, 1);
#endif
}

void returnLargeBlocksWhenFreed()
{
#ifdef __GLIBC__
    // A fixed value also ends the raising of the heap's trim limit along with it.
    mallopt(M_MMAP_THRESHOLD, 8 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, kDefaultTrimThreshold);
    mallopt(M_MMAP_MAX, kDefaultMmapMax);
#endif
}

void keepFreedBlocks()
{
#ifdef __GLIBC__
    // A block mapped on its own goes back to the system when freed, whatever the trim limit: none are
    // mapped, and the heap is not trimmed however much lies free at its top.
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, 1024 * 1024 * 1024);
#endif
}

void faultInFreeMemory(qint64 bytes)
{
#ifndef __GLIBC__
    // Elsewhere freed memory is not known to stay.
    return;
#endif
    if (bytes <= 0)
        return;
    auto* block = static_cast<char*>(std::malloc(size_t(bytes)));
    if (!block)
        return;
    // One write to a page faults it in. The pool's threads share the pages, and stay up to convert the
    // pictures next.
    const qint64 pages = (bytes + kPageSize - 1) / kPageSize;
    QThreadPool* pool = QThreadPool::globalInstance();
    const int parts = std::max(1, pool->maxThreadCount());
    const auto touch = [block, pages, parts](int part) {
        volatile char* memory = block;
        for (qint64 page = pages * part / parts; page < pages * (part + 1) / parts; ++page)
            memory[page * kPageSize] = 0;
    };
    QSemaphore done;
    int started = 0;
    for (int part = 1; part < parts; ++part) {
        QRunnable* task = QRunnable::create([&touch, &done, part] {
            touch(part);
            done.release();
        });
        if (pool->tryStart(task)) {
            ++started;
        } else {
            delete task;
            touch(part);
        }
    }
    touch(0);
    done.acquire(started);
    std::free(block);
}

void releaseFreedMemory()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

} // namespace utils
