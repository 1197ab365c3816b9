#include "core/memory.h"

// Any C library header defines __GLIBC__ under glibc.
#include <cstdlib>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <sys/mman.h>

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
    QThreadPool* pool = QThreadPool::globalInstance();
#ifdef MADV_POPULATE_WRITE
    // The kernel can fault pages in without writing to them: the block goes back to the heap at once and
    // the pool's threads fault it in while the caller goes on, the X server's grab under way meanwhile.
    // The caller's blocks may land in it before they are done; nothing they wrote is touched. Asked first
    // of a page still ours: kernels before 5.14 refuse the request.
    const quintptr begin = (quintptr(block) + kPageSize - 1) & ~quintptr(kPageSize - 1);
    const qint64 populated = (qint64(quintptr(block) + quintptr(bytes) - begin) / kPageSize) * kPageSize;
    if (populated > kPageSize &&
        madvise(reinterpret_cast<void*>(begin), size_t(kPageSize), MADV_POPULATE_WRITE) == 0) {
        std::free(block);
        // Half the cores leave the others to this thread and the X server. The lowest pages first: the
        // next block, the grab's, starts there.
        const int parts = std::max(1, pool->maxThreadCount() / 2);
        for (int part = 0; part < parts; ++part) {
            const quintptr from = begin + quintptr(populated / kPageSize * part / parts * kPageSize);
            const quintptr to = begin + quintptr(populated / kPageSize * (part + 1) / parts * kPageSize);
            pool->start(QRunnable::create([from, to] {
                // A mebibyte at a time: the request holds the process's map lock, which the thread that
                // starts the pool's next thread, or maps anything, waits for.
                constexpr quintptr kStep = 1024 * 1024;
                for (quintptr at = from; at < to; at += kStep)
                    madvise(reinterpret_cast<void*>(at), size_t(std::min(kStep, to - at)),
                            MADV_POPULATE_WRITE);
            }));
        }
        return;
    }
#endif
    // One write to a page faults it in. The pool's threads share the pages, and stay up to convert the
    // pictures next.
    const qint64 pages = (bytes + kPageSize - 1) / kPageSize;
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
