// Synchronisation at scale against the fake account: a first synchronisation of 20,000 Qelts (one list
// reply), and a tick that brings 100 changes to a library of 100,000. Prints for each the wall time, the
// peak memory of the process and the longest stall of the GUI thread's event loop (goal: 16 ms at
// most). The account answers from a thread of its own, so that its work never counts as a stall; each
// scenario runs in a child process, so that its peak memory is its own. The baseline in the same run: the
// same list fetched by a bare network access manager and parsed as JSON, no more; each wall time is also
// printed as a ratio to it.

#include "api/APIHandler.h"
#include "core/identity.h"
#include "core/paths.h"
#include "library/QeltsContainer.h"
#include "library/QeltsController.h"
#include "support/FakeAccount.h"
#include "support/TestEnvironment.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QThread>
#include <QTimer>
#include <QUrlQuery>

#include <cstdio>
#include <functional>
#include <memory>

using namespace zq::test;

namespace {

constexpr int kFirstSyncQelts = 20000;
constexpr int kLibraryQelts = 100000;
constexpr int kChanges = 100;
constexpr double kStallGoalMs = 16.0;
const QString kUser = QStringLiteral("bench@example.org");

double peakMemoryMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

// The fake account on a thread of its own.
class AccountThread
{
public:
    AccountThread()
    {
        m_thread.start();
        m_context.moveToThread(&m_thread);
        run([this] {
            m_service = std::make_unique<FakeService>();
            m_account = std::make_unique<FakeAccount>(*m_service);
        });
    }
    ~AccountThread()
    {
        run([this] {
            m_account.reset();
            m_service.reset();
        });
        m_thread.quit();
        m_thread.wait();
    }
    void run(const std::function<void()>& work)
    {
        QMetaObject::invokeMethod(&m_context, work, Qt::BlockingQueuedConnection);
    }
    FakeAccount& account() { return *m_account; }
    QString baseUrl() const { return m_service->baseUrl(); }

private:
    QThread m_thread;
    QObject m_context;
    std::unique_ptr<FakeService> m_service;
    std::unique_ptr<FakeAccount> m_account;
};

// Runs the event loop until `done` holds, and measures the time and the longest gap between two
// turns of a 1 ms timer.
double measure(const char* what, QeltsController& controller, const std::function<void()>& begin,
               const std::function<bool()>& done)
{
    QElapsedTimer clock;
    qint64 last = 0, longest = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QEventLoop loop;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
        if (done())
            loop.quit();
    });
    QObject::connect(&controller, &QeltsController::syncStateChanged, &loop, [&] {
        if (done())
            loop.quit();
    });
    clock.start();
    probe.start(1);
    begin();
    if (!done())
        loop.exec();
    const double ms = clock.nsecsElapsed() / 1e6;
    const double stall = longest / 1e6;
    std::printf("%-40s %9.1f ms   peak %7.1f MiB   longest stall %5.1f ms (goal <= %.0f)%s\n", what, ms,
                peakMemoryMiB(), stall, kStallGoalMs, stall <= kStallGoalMs ? "" : "   ABOVE GOAL");
    std::fflush(stdout);
    return ms;
}

// The baseline: the list fetched and parsed, no more; milliseconds, and the number of records it holds.
std::pair<double, int> bareFetch(const QString& baseUrl, const QDateTime& modifiedAfter = QDateTime())
{
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("include_deleted"), QStringLiteral("true"));
    if (modifiedAfter.isValid())
        query.addQueryItem(QStringLiteral("modified_after"), modifiedAfter.toUTC().toString(Qt::ISODate));
    QUrl url(baseUrl + QStringLiteral("/v1/qelts"));
    url.setQuery(query);
    QNetworkRequest request(url);
    request.setRawHeader("Authorization", "Bearer t");
    QNetworkAccessManager manager;
    QElapsedTimer clock;
    clock.start();
    QNetworkReply* reply = manager.get(request);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    const QJsonDocument document = QJsonDocument::fromJson(reply->readAll());
    const double ms = clock.nsecsElapsed() / 1e6;
    reply->deleteLater();
    const QJsonValue data =
        document.isArray() ? QJsonValue(document.array()) : document.object().value("qelts");
    return {ms, data.toArray().size()};
}

void printBaseline(const char* what, const std::pair<double, int>& bare, double measuredMs)
{
    std::printf("%-40s %9.1f ms   (%d records); ratio sync / bare %.2f x\n", what, bare.first, bare.second,
                bare.first > 0 ? measuredMs / bare.first : 0.0);
    std::fflush(stdout);
}

void firstSync()
{
    AccountThread account;
    account.run([&] {
        for (int i = 0; i < kFirstSyncQelts; ++i)
            account.account().add(QStringLiteral("q%1").arg(i, 6, 10, QLatin1Char('0')),
                                  QStringLiteral("\\frac{%1}{x^2+1}").arg(i),
                                  QStringLiteral("The value is $\\frac{%1}{x^2+1}$.").arg(i));
    });
    utils::overrideBaseUrlsForTesting(account.baseUrl());
    QNetworkAccessManager manager;
    QeltsController controller(nullptr, &manager);
    const double ms = measure(
        "first sync of 20,000 Qelts", controller, [&] { controller.setUser(kUser, QStringLiteral("t")); },
        [&] { return controller.count() == kFirstSyncQelts && !controller.isListing(); });
    printBaseline("  bare fetch and parse of the same list", bareFetch(account.baseUrl()), ms);
}

void tickOnLargeLibrary()
{
    AccountThread account;
    QeltsContainer file(nullptr);
    account.run([&] {
        for (int i = 0; i < kLibraryQelts; ++i) {
            const QString id = QStringLiteral("q%1").arg(i, 6, 10, QLatin1Char('0'));
            const FakeQelt& qelt = account.account().add(id, QStringLiteral("x_{%1}").arg(i));
            file.insert(ZorvaneQelt::fromJson(qelt.json(account.baseUrl())), false);
        }
    });
    file.save(QStringLiteral("%1/qelts-%2.dat").arg(utils::statePath(), QeltsController::userHex(kUser)));
    utils::overrideBaseUrlsForTesting(account.baseUrl());
    QNetworkAccessManager manager;
    QeltsController controller(nullptr, &manager);
    // Setting up; shown because the stored file is read on the GUI thread, in one piece.
    bool listed = false;
    measure(
        "(setup) read 100,000 from file, list", controller,
        [&] { controller.setUser(kUser, QStringLiteral("t")); },
        [&] { return (listed |= controller.isListing()) && !controller.isListing(); });
    // The account's own clock: the changes come after its newest Qelt.
    QDateTime beforeChanges;
    account.run([&] {
        beforeChanges = account.account()
                            .find(QStringLiteral("q%1").arg(kLibraryQelts - 1, 6, 10, QLatin1Char('0')))
                            ->modifiedAt;
    });
    account.run([&] {
        for (int i = 0; i < kChanges; ++i)
            account.account().edit(QStringLiteral("q%1").arg(i * 997, 6, 10, QLatin1Char('0')), "y", "$y$");
    });
    int updated = 0;
    QObject::connect(&controller, &QeltsController::qeltUpdated, [&] { ++updated; });
    const double ms = measure(
        "tick with 100 changes on 100,000", controller, [&] { controller.onSyncTimer(); },
        [&] { return updated == kChanges && !controller.isListing(); });
    printBaseline("  bare fetch and parse of the changes", bareFetch(account.baseUrl(), beforeChanges), ms);
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 2) {
        // Each scenario in a process of its own.
        for (const char* scenario : {"first", "tick"}) {
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedChannels);
            child.start(QString::fromLocal8Bit(argv[0]), {QString::fromLatin1(scenario)});
            child.waitForFinished(-1);
        }
        return 0;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "*.info=false");
    prepareEnvironment();
    QGuiApplication app(argc, argv);
    prepareApplication();
    APIHandler::overrideNetworkAvailabilityForTesting(true);
    if (qstrcmp(argv[1], "first") == 0)
        firstSync();
    else
        tickOnLargeLibrary();
    return 0;
}
