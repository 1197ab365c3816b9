// The capture road of the running application: from the global hotkey, typed through XTest by another X
// client, to the frozen overlays on screen, with no window of ours to wait for and from a menu entry (which
// waits for the menu to leave the screen), against a bare grab of the screens shown in windows of their
// own, in the same run; the first capture after the start against the later ones, each after a user's
// pause, on an X server warmed as a running desktop's is; and the resident memory once the first capture's
// Qelt is shown (the result view's page loaded) and after each of five more captures dragged with the mouse
// and uploaded, while the program holds their pictures' memory for the next capture and once it has
// handed that back, against the goal of ending within 20 MB of the first. Measured on this display (4K
// under scripts/bench), then on a two-monitor 4K Xorg desktop of its own. A modal box, which nobody would
// answer, ends the run with an error.
//
// Usage: bench_app_capture [--dual]

#include "app/Application.h"
#include "app/startup.h"
#include "capture/ScreenShooterDialog.h"
#include "captureRoad.h"
#include "core/MemoryHold.h"
#include "support/DummyXorg.h"
#include "support/FakeAccount.h"
#include "support/TestEnvironment.h"
#include "view/page/QeltViewFrame.h"

#include <QAction>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScreen>
#include <QWindow>

// Xlib's macros go after Qt's headers.
#include "support/Typist.h"
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr int kRuns = 15;
constexpr int kMenuRuns = 5;
constexpr int kCaptures = 5;
// Before each timed capture, as a user takes it: the program, the X server and the processors idle.
constexpr int kPauseMs = 1000;

// Resident memory of this process in MB: all of it ("VmRSS"), or its own data alone ("RssAnon"), without
// the code and files it maps (the first window loads the GL driver, tens of MB on a machine without a GPU).
double residentMb(const QByteArray& field = "VmRSS:")
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(field.size()).trimmed().split(' ').first().toDouble() / 1024.0;
    return 0;
}

// Every overlay closed and deleted, its pictures with it.
bool overlaysGone(const ScreenShooter& shooter)
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return shooter.overlays().isEmpty() && !QApplication::activePopupWidget() &&
           shooter.findChildren<ScreenShooterDialog*>().isEmpty();
}

// The middle half of the values, as "low..high".
QByteArray spread(QVector<double> values)
{
    std::sort(values.begin(), values.end());
    if (values.isEmpty())
        return QByteArray();
    return QByteArray::number(values.at(values.size() / 4), 'f', 1) + ".." +
           QByteArray::number(values.at(values.size() * 3 / 4), 'f', 1);
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

// A desktop's X server has made screen-sized pixmaps and answered screen-sized reads before, and its
// memory for them is in place; a fresh one is slow at its first two, whoever asks. Each screen copied
// and read as another client does (as Qt grabs one), twice.
void warmXServer()
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return;
    const Window root = DefaultRootWindow(display);
    XWindowAttributes attributes;
    XGetWindowAttributes(display, root, &attributes);
    XGCValues values;
    values.subwindow_mode = IncludeInferiors;
    const GC gc = XCreateGC(display, root, GCSubwindowMode, &values);
    for (int i = 0; i < 2; ++i) {
        for (const QScreen* screen : QGuiApplication::screens()) {
            const QRect area(screen->geometry().topLeft() * screen->devicePixelRatio(),
                             screen->geometry().size() * screen->devicePixelRatio());
            const auto width = unsigned(area.width());
            const auto height = unsigned(area.height());
            const Pixmap pixmap = XCreatePixmap(display, root, width, height, unsigned(attributes.depth));
            XCopyArea(display, root, pixmap, gc, area.x(), area.y(), width, height, 0, 0);
            if (XImage* image = XGetImage(display, pixmap, 0, 0, width, height, AllPlanes, ZPixmap))
                XDestroyImage(image);
            XFreePixmap(display, pixmap);
        }
    }
    XFreeGC(display, gc);
    XCloseDisplay(display);
}

int measure(int argc, char* argv[], const char* title)
{
    zq::test::prepareEnvironment();
    qputenv("TMPDIR", QFile::encodeName(zq::test::homePath()));
    qputenv("QT_LOGGING_RULES", "*.info=false");
    startup::prepareProcess();
    // The test environment's shared GL context is not the program's: it would count a GL driver in.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts, false);
    Application app(argc, argv);
    zq::test::FakeService service;
    zq::test::FakeAccount account(service);
    for (int i = 0; i < 20; ++i)
        account.add(QStringLiteral("q%1").arg(i), QStringLiteral("x^%1").arg(i));
    answerUploads(service, account, QStringLiteral("x^2"));
    if (!startSignedIn(app, service))
        return 1;
    failOnModalBoxes(&app);
    Typist typist;
    if (!typist.ok() || !waitFor([&] { return app.library().count() == 20 && !app.library().isListing(); })) {
        std::printf("no X display or no library\n");
        return 1;
    }
    ScreenShooter& shooter = app.screenShooter();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    warmXServer();

    // Milliseconds from the hotkey to every overlay on the screen; negative when they never showed.
    const auto hotkeyToOverlays = [&] {
        QElapsedTimer timer;
        timer.start();
        typist.hotkey();
        if (!waitFor([&] { return overlaysExposed(shooter); })) {
            std::printf("overlays never showed\n");
            return -1.0;
        }
        return timer.nsecsElapsed() / 1e6;
    };
    // The rest of a capture from its overlays: a drag, and its Qelt on the view page.
    const auto dragToQelt = [&](int serial) {
        typist.drag(screen.topLeft() + QPoint(200, 150), screen.topLeft() + QPoint(1000, 450));
        if (!waitFor([&] { return overlaysGone(shooter); })) {
            std::printf("overlays never closed\n");
            return false;
        }
        const QString id = QStringLiteral("cap%1").arg(serial);
        if (!waitFor([&] { return app.mainWindow()->viewPage()->currentQeltId() == id; })) {
            std::printf("the Qelt never showed\n");
            return false;
        }
        waitFor([] { return false; }, 300);
        return true;
    };

    // The first capture after the start, as at a login with a tray: no window of ours on the screen.
    app.mainWindow()->hide();
    waitFor([] { return false; }, kPauseMs);
    const double first = hotkeyToOverlays();
    if (first < 0 || !dragToQelt(1))
        return 1;

    // Memory: "before" is the application with the first capture's Qelt shown: the result view's page,
    // which loads once the first capture's overlays are drawn, is part of it. The pictures that a capture
    // frees are held for the next one for a while: measured while held, and once handed back (sooner than
    // the program would, as it does once no capture follows).
    MemoryHold& hold = shooter.memoryHold();
    const auto handBack = [&] {
        hold.setReleaseDelay(0);
        waitFor([&] { return !hold.isHolding(); });
        hold.setReleaseDelay(MemoryHold::kReleaseDelayMs);
        waitFor([] { return false; }, 1000);
    };
    handBack();
    const double before = residentMb();
    const double beforeData = residentMb("RssAnon:");
    QVector<double> after, afterData;
    for (int i = 0; i < kCaptures; ++i) {
        if (hotkeyToOverlays() < 0 || !dragToQelt(i + 2))
            return 1;
        after.append(residentMb());
        afterData.append(residentMb("RssAnon:"));
    }
    handBack();
    const double released = residentMb();
    const double releasedData = residentMb("RssAnon:");

    // The rest starts with no window of ours on the screen.
    app.mainWindow()->hide();
    QVector<double> hotkeyTimes, bareTimes;
    for (int i = 0; i < kRuns; ++i) {
        waitFor([] { return false; }, kPauseMs);
        bareTimes.append(bareFreezeMs());
        waitFor([] { return false; }, kPauseMs);
        const double ms = hotkeyToOverlays();
        if (ms < 0)
            return 1;
        hotkeyTimes.append(ms);
        shooter.closeDialogs();
        waitFor([&] { return overlaysGone(shooter); });
    }
    QAction menuEntry;
    QObject::connect(&menuEntry, &QAction::triggered, &app, &Application::MakeScreenshot);
    QVector<double> menuTimes;
    for (int i = 0; i < kMenuRuns; ++i) {
        QElapsedTimer timer;
        timer.start();
        menuEntry.trigger();
        if (!waitFor([&] { return overlaysExposed(shooter); }))
            return 1;
        menuTimes.append(timer.nsecsElapsed() / 1e6);
        shooter.closeDialogs();
        waitFor([&] { return overlaysGone(shooter); });
    }

    std::printf("-- %s: screens %s\n", title, qPrintable(describeScreens()));
    std::printf("resident with the first Qelt shown: %8.1f MB, own data %8.1f MB\n", before, beforeData);
    for (int i = 0; i < after.size(); ++i)
        std::printf("after capture %d, held:              %8.1f MB (%+.1f), own data %8.1f MB (%+.1f)\n",
                    i + 1, after.at(i), after.at(i) - before, afterData.at(i), afterData.at(i) - beforeData);
    std::printf("handed back after the captures:     %8.1f MB (%+.1f), own data %8.1f MB (%+.1f)\n", released,
                released - before, releasedData, releasedData - beforeData);
    std::printf("growth after %d captures, own data: %8.1f MB (goal <= 20), ratio after / before %5.2f x\n",
                kCaptures, releasedData - beforeData, beforeData > 0 ? releasedData / beforeData : 0.0);
    const double hotkey = median(hotkeyTimes);
    const double bare = median(bareTimes);
    std::printf("bare grab of the screens shown in windows:    median %8.1f ms (middle half %s, %d runs)\n",
                bare, spread(bareTimes).constData(), kRuns);
    std::printf("hotkey to overlays exposed, no window shown: median %8.1f ms (middle half %s, %d runs)\n",
                hotkey, spread(hotkeyTimes).constData(), kRuns);
    std::printf("ratio hotkey / bare grab:                     %8.2f x (goal <= 1.1)\n",
                bare > 0 ? hotkey / bare : 0.0);
    std::printf("first capture after the start, hotkey to overlays: %8.1f ms\n", first);
    std::printf("ratio first / later captures:                 %8.2f x (goal <= 1.2)\n",
                hotkey > 0 ? first / hotkey : 0.0);
    std::printf("menu entry to overlays exposed (%d ms wait):  median %8.1f ms (%d runs)\n",
                Application::kCaptureDelayMs, median(menuTimes), kMenuRuns);
    std::printf("ratio menu entry / hotkey:                    %8.2f x\n",
                hotkey > 0 ? median(menuTimes) / hotkey : 0.0);
    std::fflush(stdout);
    app.Cleanup();
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc > 1 && qstrcmp(argv[argc - 1], "--dual") == 0) {
        zq::test::startDummyDesktop({QRect(0, 0, 3840, 2160), QRect(3840, 0, 3840, 2160)});
        return measure(argc, argv, "two-monitor 4K Xorg desktop");
    }
    const int status = measure(argc, argv, "this display");
    if (status != 0)
        return status;
    // The two-monitor desktop needs its own server, and Qt opens a display once per process.
    QProcess dual;
    dual.setProcessChannelMode(QProcess::ForwardedChannels);
    dual.start(QString::fromLocal8Bit(argv[0]), {QStringLiteral("--dual")});
    dual.waitForFinished(600000);
    if (dual.exitStatus() != QProcess::NormalExit || dual.exitCode() != 0)
        std::printf("two-monitor Xorg desktop not measured (exit %d)\n", dual.exitCode());
    return 0;
}
