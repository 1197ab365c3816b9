// Log throughput from 8 threads through the Logger, against a bare mutex-guarded QFile append of
// lines of the same length, measured in the same run.
#include "core/Logger.h"
#include "core/paths.h"
#include "support/TestEnvironment.h"

#include "../benchThreads.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMutex>

#include <cstdio>
#include <functional>

namespace {

constexpr int kThreads = 8;
constexpr int kMessagesPerThread = 20000;

QByteArray messageText(int thread, int i)
{
    return "[Bench] thread " + QByteArray::number(thread) + " message " + QByteArray::number(i) + ' ' +
           QByteArray(40 + i % 80, 'x');
}

double runThreads(const std::function<void(int)>& work)
{
    return zq::bench::timeThreads(kThreads, work);
}

double baseline(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
    QMutex mutex;
    return runThreads([&](int t) {
        for (int i = 0; i < kMessagesPerThread; ++i) {
            // The same bytes a log line carries: a header of the same shape and the message.
            const QByteArray line = "[2026-12-05T23:59:07][140162948388544][I] " + messageText(t, i) + "\r\n";
            QMutexLocker locker(&mutex);
            file.write(line);
            file.flush();
        }
    });
}

double logger()
{
    Logger logger(QStringLiteral("zorvane"), 14);
    return runThreads([](int t) {
        for (int i = 0; i < kMessagesPerThread; ++i)
            qInfo("%s", messageText(t, i).constData());
    });
}

} // namespace

int main(int argc, char* argv[])
{
    zq::test::prepareEnvironment();
    QCoreApplication app(argc, argv);
    zq::test::prepareApplication();
    QDir().mkpath(utils::logsPath());

    double best = 1e300;
    double bestBaseline = 1e300;
    for (int round = 0; round < 3; ++round) {
        QDir(utils::logsPath()).removeRecursively();
        QDir().mkpath(utils::logsPath());
        bestBaseline = std::min(bestBaseline, baseline(utils::logsPath() + QStringLiteral("/baseline.txt")));
        best = std::min(best, logger());
    }
    const int total = kThreads * kMessagesPerThread;
    std::printf("logger: %d lines from %d threads in %.1f ms (%.0f lines/s)\n", total, kThreads, best,
                total / best * 1000);
    std::printf("baseline (mutex + QFile append): %.1f ms (%.0f lines/s)\n", bestBaseline,
                total / bestBaseline * 1000);
    std::printf("ratio logger/baseline: %.2f (goal <= 1.30)\n", best / bestBaseline);
    return 0;
}
