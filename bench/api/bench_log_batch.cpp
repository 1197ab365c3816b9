// Queueing diagnostic records from 4 threads through the log batch, against the least work a record
// needs: the same JSON record, the stored-token read, and an append to a mutex-guarded array that is
// taken every ten records. Measured in the same run; the difference is the batch's own machinery
// (hand-over to the GUI thread, timer restarts, flush attempts).
#include "api/APIHandler.h"
#include "core/userState.h"
#include "support/TestEnvironment.h"

#include "../benchThreads.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonArray>
#include <QMutex>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr int kThreads = 4;
constexpr int kRecordsPerThread = 5000;

QString message(int thread, int i)
{
    return QStringLiteral("sync failed on thread %1, attempt %2").arg(thread).arg(i);
}

double runThreads(const std::function<void(int)>& work)
{
    // The GUI thread's share: timer restarts and flushes handed over by the workers.
    return zq::bench::timeThreads(kThreads, work, [] { QCoreApplication::processEvents(); });
}

double baseline()
{
    QMutex mutex;
    QJsonArray logs;
    QString batchToken;
    return runThreads([&](int t) {
        for (int i = 0; i < kRecordsPerThread; ++i) {
            const QJsonObject record{{QStringLiteral("timestamp"), QDateTime::currentMSecsSinceEpoch()},
                                     {QStringLiteral("event"), QStringLiteral("log")},
                                     {QStringLiteral("message"), message(t, i)},
                                     {QStringLiteral("level"), QStringLiteral("warn")}};
            const QString token = utils::authInfo().second;
            QMutexLocker lock(&mutex);
            if (token != batchToken)
                batchToken = token;
            logs.append(record);
            if (logs.size() >= APIHandler::kLogBatchSize)
                logs = QJsonArray();
        }
    });
}

double logBatch()
{
    return runThreads([](int t) {
        for (int i = 0; i < kRecordsPerThread; ++i)
            APIHandler::log(message(t, i), QStringLiteral("warn"), QString());
    });
}

} // namespace

int main(int argc, char* argv[])
{
    zq::test::prepareEnvironment();
    QCoreApplication app(argc, argv);
    zq::test::prepareApplication();
    utils::setAuthInfo(QStringLiteral("bench@example.org"), QStringLiteral("bench-token"));
    // Full batches are handed to the sender, which refuses at once without a network: no I/O measured.
    APIHandler::overrideNetworkAvailabilityForTesting(false);

    double best = 1e300;
    double bestBaseline = 1e300;
    for (int round = 0; round < 5; ++round) {
        bestBaseline = std::min(bestBaseline, baseline());
        best = std::min(best, logBatch());
    }
    const int total = kThreads * kRecordsPerThread;
    std::printf("log batch: %d records from %d threads in %.1f ms (%.0f records/s)\n", total, kThreads, best,
                total / best * 1000);
    std::printf("baseline (record + token read + guarded append): %.1f ms (%.0f records/s)\n", bestBaseline,
                total / bestBaseline * 1000);
    std::printf("ratio log batch/baseline: %.2f\n", best / bestBaseline);
    return 0;
}
