// Start-up of the application, from the start of its process to its event loop running, and its resident
// memory once it idles with its library loaded (20 Qelts, signed in, no window shown), against the same
// two figures for a bare widget application with a tray icon. Both run as child processes.
//
// Usage: bench_app_startup [--child]

#include "api/APIHandler.h"
#include "app/Application.h"
#include "app/startup.h"
#include "core/identity.h"
#include "core/userState.h"
#include "support/FakeAccount.h"
#include "support/TestEnvironment.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cstdio>

#include <unistd.h>

namespace {

constexpr int kRuns = 7;
constexpr int kIdleMs = 2000;

double median(QVector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0.0 : values.at(values.size() / 2);
}

double residentMb(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return 0;
}

void spin(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

struct Figures
{
    QVector<double> startMs;
    QVector<double> residentMb;
};

// One start: milliseconds to "ready", then the resident memory after idling.
bool measure(const QString& program, const QStringList& arguments, Figures& figures)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    child.start(program, arguments);
    while (!child.canReadLine()) {
        if (child.state() == QProcess::NotRunning || timer.elapsed() > 60000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        child.waitForReadyRead(1);
    }
    figures.startMs.append(timer.nsecsElapsed() / 1e6);
    spin(kIdleMs); // the fake service answers the application's first list meanwhile
    figures.residentMb.append(residentMb(child.processId()));
    child.write("exit 0\n");
    while (child.state() != QProcess::NotRunning && timer.elapsed() < 120000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return true;
}

int runChild(int argc, char* argv[])
{
    utils::overrideBaseUrlsForTesting(qEnvironmentVariable("ZQ_CHILD_SERVICE"));
    APIHandler::overrideNetworkAvailabilityForTesting(true);
    return runProgram(argc, argv, [](Application& app) {
        QTimer::singleShot(0, &app, [] {
            std::puts("ready");
            std::fflush(stdout);
        });
        auto* input = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, &app);
        QObject::connect(input, &QSocketNotifier::activated, &app, [&app, input] {
            input->setEnabled(false);
            app.exit(0);
        });
    });
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc > 1 && qstrcmp(argv[argc - 1], "--child") == 0)
        return runChild(argc, argv);

    zq::test::prepareEnvironment();
    qputenv("TMPDIR", QFile::encodeName(zq::test::homePath()));
    qputenv("QT_LOGGING_RULES", "*.info=false");
    QCoreApplication app(argc, argv);
    zq::test::prepareApplication();
    zq::test::FakeService service;
    zq::test::FakeAccount account(service);
    for (int i = 0; i < 20; ++i)
        account.add(QStringLiteral("q%1").arg(i), QStringLiteral("x^%1").arg(i));
    service.on("GET", "/v1/user/settings", zq::test::Reply::json(QJsonObject()));
    service.on("POST", "/v1/logs", zq::test::Reply::json(QJsonObject()));
    utils::setAuthInfo(QStringLiteral("me@example.org"), QStringLiteral("t0k"));
    qputenv("ZQ_CHILD_SERVICE", service.baseUrl().toUtf8());

    const QString bare = QStringLiteral(ZQ_BARE_TRAY);
    Figures application, baseline;
    for (int i = 0; i < kRuns; ++i) {
        if (!measure(QCoreApplication::applicationFilePath(), {QStringLiteral("--child")}, application) ||
            !measure(bare, {}, baseline)) {
            std::printf("a child did not start\n");
            return 1;
        }
    }
    const double appStart = median(application.startMs), bareStart = median(baseline.startMs);
    const double appMemory = median(application.residentMb), bareMemory = median(baseline.residentMb);
    std::printf("start to event loop, application (tray, window):  median %8.1f ms (%d runs)\n", appStart,
                kRuns);
    std::printf("start to event loop, bare QApplication + tray:   median %8.1f ms\n", bareStart);
    std::printf("ratio application / bare:                               %8.1f x\n",
                bareStart > 0 ? appStart / bareStart : 0.0);
    std::printf("resident at idle, application (library loaded):  median %8.1f MB\n", appMemory);
    std::printf("resident at idle, bare QApplication + tray:      median %8.1f MB\n", bareMemory);
    std::printf("ratio application / bare:                               %8.1f x\n",
                bareMemory > 0 ? appMemory / bareMemory : 0.0);
    std::fflush(stdout);
    return 0;
}
