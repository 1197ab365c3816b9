// Start-up of the application as a user meets it at login (signed in, 20 Qelts in the library, a tray host,
// no window shown), each start a child process measured with every process below it: the proportional
// memory (Pss) of the whole tree once it idles, the processor time of the tree from its start until then,
// and the time from the global hotkey, typed through XTest 2 s after the start, to the frozen overlays
// exposed, against the same once the program idles. Two baselines run in the same run: a bare widget
// program with a tray icon, and one bare web view that loads the editor page once and shows it (the
// least any program that shows the page can cost). Also the start to the event loop running.
//
// Usage: bench_app_startup [--child]

#include "api/APIHandler.h"
#include "app/Application.h"
#include "app/startup.h"
#include "capture/ScreenShooterDialog.h"
#include "core/identity.h"
#include "core/userState.h"
#include "support/FakeAccount.h"
#include "support/PrivateDisplay.h"
#include "support/ProcessTree.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWindow>

// Xlib's macros go after Qt's headers.
#include "support/Typist.h"

#include <algorithm>
#include <cstdio>

#include <unistd.h>

namespace {

constexpr int kRuns = 5;
// The program idles once its tree has used less than this share of one processor over a whole window.
constexpr double kIdleShare = 0.02;
constexpr int kIdleWindowMs = 1000;
constexpr int kIdleAfterMs = 2000;
constexpr int kGiveUpMs = 120000;
constexpr int kEarlyHotkeyMs = 2000;

double median(QVector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0.0 : values.at(values.size() / 2);
}

void spin(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// A child program: started, read line by line, told to end.
class Child
{
public:
    Child(const QString& program, const QStringList& arguments)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_clock.start();
        m_process.start(program, arguments);
    }
    ~Child()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.write("exit\n");
            m_process.closeWriteChannel();
            if (!m_process.waitForFinished(60000))
                m_process.kill();
        }
    }

    qint64 pid() const { return m_process.processId(); }
    qint64 elapsedMs() const { return m_clock.elapsed(); }
    double elapsedNs() const { return m_clock.nsecsElapsed(); }

    // Waits for the line `line`; false when the child ended or took too long.
    bool waitForLine(const QByteArray& line)
    {
        while (m_clock.elapsed() < kGiveUpMs) {
            while (m_process.canReadLine()) {
                if (m_process.readLine().trimmed() == line)
                    return true;
            }
            if (m_process.state() == QProcess::NotRunning)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            m_process.waitForReadyRead(1);
        }
        return false;
    }

    // Waits until the tree idles; false when it never did.
    bool waitForIdle()
    {
        QVector<QPair<qint64, double>> samples; // elapsed ms, processor seconds of the tree
        while (m_clock.elapsed() < kGiveUpMs && m_process.state() == QProcess::Running) {
            spin(100);
            samples.append({m_clock.elapsed(), zq::test::treeCpuSeconds(pid())});
            if (m_clock.elapsed() < kIdleAfterMs)
                continue;
            const auto first = std::find_if(samples.begin(), samples.end(), [this](const auto& sample) {
                return sample.first >= m_clock.elapsed() - kIdleWindowMs;
            });
            const double used = samples.last().second - first->second;
            const double window = (samples.last().first - first->first) / 1000.0;
            if (window >= kIdleWindowMs / 1000.0 * 0.9 && used <= kIdleShare * window)
                return true;
        }
        return false;
    }

private:
    QProcess m_process;
    QElapsedTimer m_clock;
};

struct Figures
{
    QVector<double> startMs; // start to "ready"
    QVector<double> pssMb;   // the tree at idle
    QVector<double> cpuS;    // the tree from start to idle
    QVector<double> processes;
    QVector<double> renderers;
};

// One start: to "ready", then the tree once it idles.
bool measureIdle(const QString& program, const QStringList& arguments, Figures& figures)
{
    Child child(program, arguments);
    if (!child.waitForLine("ready"))
        return false;
    figures.startMs.append(child.elapsedNs() / 1e6);
    if (!child.waitForIdle())
        return false;
    figures.cpuS.append(zq::test::treeCpuSeconds(child.pid()));
    figures.pssMb.append(zq::test::treePssMb(child.pid()));
    figures.processes.append(zq::test::processTree(child.pid()).size());
    figures.renderers.append(zq::test::rendererCount(child.pid()));
    return true;
}

// One start: the hotkey 2 s after it, and again once the program idles; milliseconds to the overlays.
bool measureHotkey(Typist& typist, QVector<double>& early, QVector<double>& idle)
{
    Child child(QCoreApplication::applicationFilePath(), {QStringLiteral("--child")});
    if (!child.waitForLine("ready"))
        return false;
    spin(int(std::max<qint64>(0, kEarlyHotkeyMs - child.elapsedMs())));
    for (QVector<double>* figures : {&early, &idle}) {
        if (figures == &idle && !child.waitForIdle())
            return false;
        const double pressed = child.elapsedNs();
        typist.hotkey();
        if (!child.waitForLine("exposed"))
            return false;
        figures->append((child.elapsedNs() - pressed) / 1e6);
    }
    return true;
}

// The application, as main runs it; says "ready" once its event loop runs and "exposed" when a capture's
// overlays are on the screen, which it then closes.
int runChild(int argc, char* argv[])
{
    utils::overrideBaseUrlsForTesting(qEnvironmentVariable("ZQ_CHILD_SERVICE"));
    APIHandler::overrideNetworkAvailabilityForTesting(true);
    return runProgram(argc, argv, [](Application& app) {
        QTimer::singleShot(0, &app, [] {
            std::puts("ready");
            std::fflush(stdout);
        });
        auto* overlays = new QTimer(&app);
        QObject::connect(overlays, &QTimer::timeout, &app, [&app] {
            ScreenShooter& shooter = app.screenShooter();
            const auto shown = shooter.overlays();
            if (shown.isEmpty() || !std::all_of(shown.begin(), shown.end(), [](ScreenShooterDialog* overlay) {
                    return overlay->windowHandle() && overlay->windowHandle()->isExposed();
                }))
                return;
            std::puts("exposed");
            std::fflush(stdout);
            shooter.closeDialogs();
        });
        overlays->start(2);
        auto* input = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, &app);
        QObject::connect(input, &QSocketNotifier::activated, &app, [&app, input] {
            input->setEnabled(false);
            app.exit(0);
        });
    });
}

void printRow(const char* what, double value, const char* unit, double baseline, const char* goal = "")
{
    std::printf("  %-48s %8.1f %s   ratio %5.2f x%s\n", what, value, unit,
                baseline > 0 ? value / baseline : 0.0, goal);
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc > 1 && qstrcmp(argv[argc - 1], "--child") == 0)
        return runChild(argc, argv);

    zq::test::prepareEnvironment();
    qputenv("TMPDIR", QFile::encodeName(zq::test::homePath()));
    qputenv("QT_LOGGING_RULES", "*.info=false");
    QApplication app(argc, argv);
    zq::test::prepareApplication();
    zq::test::FakeService service;
    zq::test::FakeAccount account(service);
    for (int i = 0; i < 20; ++i)
        account.add(QStringLiteral("q%1").arg(i), QStringLiteral("x^%1").arg(i));
    service.on("GET", "/v1/user/settings", zq::test::Reply::json(QJsonObject()));
    for (const char* path : {"/v1/logs", "/v1/events"})
        service.on("POST", path, zq::test::Reply::json(QJsonObject()));
    utils::setAuthInfo(QStringLiteral("me@example.org"), QStringLiteral("t0k"));
    qputenv("ZQ_CHILD_SERVICE", service.baseUrl().toUtf8());

    // As at a desktop's login: a tray takes the program's icon, and no window opens.
    zq::test::TrayHost tray;
    QElapsedTimer trayWait;
    trayWait.start();
    while (!QSystemTrayIcon::isSystemTrayAvailable() && trayWait.elapsed() < kGiveUpMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    Typist typist;
    if (!typist.ok() || !QSystemTrayIcon::isSystemTrayAvailable()) {
        std::printf("no X display or no tray host\n");
        return 1;
    }

    Figures application, bareTray, bareView;
    QVector<double> early, idle;
    for (int i = 0; i < kRuns; ++i) {
        if (!measureIdle(QCoreApplication::applicationFilePath(), {QStringLiteral("--child")}, application) ||
            !measureIdle(QStringLiteral(ZQ_BARE_TRAY), {}, bareTray) ||
            !measureIdle(QStringLiteral(ZQ_BARE_VIEW), {}, bareView) || !measureHotkey(typist, early, idle)) {
            std::printf("a child did not start, idle or capture\n");
            return 1;
        }
    }

    std::printf("medians of %d starts of each\n", kRuns);
    std::printf("whole process tree at idle (Pss):\n");
    std::printf(
        "  application: %.0f processes, %.0f renderers; one bare view with the page: %.0f processes\n",
        median(application.processes), median(application.renderers), median(bareView.processes));
    const double viewPss = median(bareView.pssMb);
    printRow("application (signed in, library loaded)", median(application.pssMb), "MB", viewPss,
             "  (goal <= 1.5)");
    printRow("one bare view with the editor page loaded", viewPss, "MB", viewPss);
    printRow("bare tray program", median(bareTray.pssMb), "MB", viewPss);
    std::printf("processor time of the tree from start until idle:\n");
    const double viewCpu = median(bareView.cpuS);
    printRow("application", median(application.cpuS) * 1000, "ms", viewCpu * 1000, "  (goal <= 1.5)");
    printRow("one bare view loading the editor page", viewCpu * 1000, "ms", viewCpu * 1000);
    printRow("bare tray program", median(bareTray.cpuS) * 1000, "ms", viewCpu * 1000);
    std::printf("hotkey to overlays exposed:\n");
    const double idleHotkey = median(idle);
    printRow("pressed 2 s after the start", median(early), "ms", idleHotkey, "  (goal <= 2)");
    printRow("pressed once the program idles", idleHotkey, "ms", idleHotkey);
    std::printf("start to event loop (to the loaded page for the view):\n");
    const double trayStart = median(bareTray.startMs);
    printRow("application", median(application.startMs), "ms", trayStart);
    printRow("bare tray program", trayStart, "ms", trayStart);
    printRow("one bare view", median(bareView.startMs), "ms", trayStart);
    std::fflush(stdout);
    return 0;
}
