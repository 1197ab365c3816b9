// From the capture hotkey to the frozen overlays on screen, and the X11 grab alone, on this display
// (4K under scripts/bench) and on a two-monitor 4K Xorg desktop of its own. The baseline is a capture
// tool started afresh for each capture, which is what the resident shooter saves the user.
//
// Usage: bench_screen_capture [--dual | --cold]

#include "capture/ScreenGrabberLin.h"
#include "capture/ScreenShooter.h"
#include "capture/ScreenShooterDialog.h"
#include "support/DummyXorg.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTextStream>
#include <QWindow>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kRuns = 15;
constexpr int kColdRuns = 5;

double median(QVector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0.0 : values.at(values.size() / 2);
}

bool overlaysExposed(const ScreenShooter& shooter, int count)
{
    const auto overlays = shooter.overlays();
    if (overlays.size() != count)
        return false;
    return std::all_of(overlays.begin(), overlays.end(), [](ScreenShooterDialog* overlay) {
        return overlay->windowHandle() && overlay->windowHandle()->isExposed();
    });
}

// Milliseconds from makeScreenshot to every overlay exposed; negative when they never show.
double captureOnce(ScreenShooter& shooter)
{
    const int screens = QGuiApplication::screens().size();
    QElapsedTimer timer;
    timer.start();
    shooter.makeScreenshot();
    while (!overlaysExposed(shooter, screens)) {
        if (timer.elapsed() > 10000)
            return -1;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    const double elapsed = timer.nsecsElapsed() / 1e6;
    shooter.closeDialogs();
    while (!shooter.overlays().isEmpty() || QApplication::activePopupWidget())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return elapsed;
}

double grabOnce(ScreenGrabberLin& grabber)
{
    QSignalSpy finished(&grabber, &ScreenGrabber::finished);
    QElapsedTimer timer;
    timer.start();
    grabber.grab();
    finished.wait(10000);
    return timer.nsecsElapsed() / 1e6;
}

QString describeScreens()
{
    QStringList parts;
    for (QScreen* screen : QGuiApplication::screens())
        parts << QStringLiteral("%1x%2+%3+%4")
                     .arg(screen->geometry().width())
                     .arg(screen->geometry().height())
                     .arg(screen->geometry().x())
                     .arg(screen->geometry().y());
    return parts.join(QStringLiteral(", "));
}

// The same capture in a process of its own, as a tool started by the hotkey would run it.
QVector<double> coldCaptures(const QStringList& environment)
{
    QVector<double> times;
    for (int i = 0; i < kColdRuns; ++i) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString& entry : environment)
            env.insert(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
        child.setProcessEnvironment(env);
        QElapsedTimer timer;
        timer.start();
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--cold")});
        if (!child.waitForReadyRead(20000))
            break;
        times.append(timer.nsecsElapsed() / 1e6);
        child.waitForFinished(20000);
    }
    return times;
}

int measure(const QString& title)
{
    std::printf("-- %s: screens %s\n", qPrintable(title), qPrintable(describeScreens()));
    ScreenShooter shooter([] { return new ScreenGrabberLin(nullptr); }, nullptr);
    ScreenGrabberLin grabber(nullptr);
    captureOnce(shooter); // warm-up: first X round trips, thread pool start
    grabOnce(grabber);

    QVector<double> captures, grabs;
    for (int i = 0; i < kRuns; ++i) {
        const double ms = captureOnce(shooter);
        if (ms < 0) {
            std::printf("overlays never showed\n");
            return 1;
        }
        captures.append(ms);
        grabs.append(grabOnce(grabber));
    }
    const QStringList environment{QStringLiteral("DISPLAY=") + qEnvironmentVariable("DISPLAY")};
    const QVector<double> cold = coldCaptures(environment);
    const double resident = median(captures);
    std::printf("X11 grab alone:                     median %8.1f ms (%d runs)\n", median(grabs), kRuns);
    std::printf("makeScreenshot to overlays exposed: median %8.1f ms (%d runs)\n", resident, kRuns);
    std::printf("baseline, capture tool started anew: median %7.1f ms (%d runs)\n", median(cold),
                cold.size());
    std::printf("ratio baseline / resident:          %8.1f x\n",
                resident > 0 ? median(cold) / resident : 0.0);
    std::fflush(stdout);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    const QStringList args = [&] {
        QStringList list;
        for (int i = 1; i < argc; ++i)
            list << QString::fromLocal8Bit(argv[i]);
        return list;
    }();
    qputenv("QT_QPA_PLATFORM", "xcb");
    qputenv("QT_LOGGING_RULES", "*.info=false");

    if (args.contains(QStringLiteral("--cold"))) {
        QApplication app(argc, argv);
        ScreenShooter shooter([] { return new ScreenGrabberLin(nullptr); }, nullptr);
        QElapsedTimer timer;
        timer.start();
        shooter.makeScreenshot();
        while (!overlaysExposed(shooter, QGuiApplication::screens().size()) && timer.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::puts("shown");
        std::fflush(stdout);
        return 0;
    }

    if (args.contains(QStringLiteral("--dual"))) {
        zq::test::startDummyDesktop({QRect(0, 0, 3840, 2160), QRect(3840, 0, 3840, 2160)});
        QApplication app(argc, argv);
        return measure(QStringLiteral("two-monitor Xorg desktop"));
    }

    int status = 0;
    {
        QApplication app(argc, argv);
        status = measure(QStringLiteral("this display"));
    }
    // The two-monitor desktop needs its own server, and Qt opens a display once per process.
    QProcess dual;
    dual.setProcessChannelMode(QProcess::ForwardedChannels);
    dual.start(QString::fromLocal8Bit(argv[0]), {QStringLiteral("--dual")});
    dual.waitForFinished(300000);
    if (dual.exitCode() != 0)
        std::printf("two-monitor Xorg desktop not measured (exit %d)\n", dual.exitCode());
    return status;
}
