#pragma once

#include <QElapsedTimer>
#include <QThread>

#include <functional>
#include <memory>
#include <vector>

namespace zq::bench {

// Milliseconds for `count` threads to run work(threadIndex) side by side; afterJoin runs inside the
// measured time, for work the threads hand back to the calling thread.
inline double timeThreads(int count, const std::function<void(int)>& work,
                          const std::function<void()>& afterJoin = {})
{
    std::vector<std::unique_ptr<QThread>> threads;
    QElapsedTimer timer;
    timer.start();
    for (int t = 0; t < count; ++t) {
        threads.emplace_back(QThread::create([&work, t] { work(t); }));
        threads.back()->start();
    }
    for (auto& thread : threads)
        thread->wait();
    if (afterJoin)
        afterJoin();
    return timer.nsecsElapsed() / 1e6;
}

} // namespace zq::bench
