// The first result after the start, as the user sees it: the application starts (signed in, a tray host,
// no window shown), a capture follows at once (hotkey and drag through XTest), and the service answers the
// upload after a while. Timed from the result arriving to the main window on the screen with the Qelt
// drawn on its view page and its Data rows (the editor page's load included where it is not over yet),
// against the same for a second capture in the same process, whose page is warm. Each start is a child
// process of its own, all of them in one home folder, as a user's starts at login are: what the web engine
// keeps between starts (its compiled shaders) is there from the second start on, and one start before the
// measured ones puts it there. The service's time to answer is given: at once (the page's whole load falls
// after the result) and a recognition's usual second (the load overlaps the upload, as the application
// arranges).
//
// Usage: bench_app_first_result [--child <answer ms>]

#include "app/Application.h"
#include "app/flows/RecognitionUpload.h"
#include "app/startup.h"
#include "captureRoad.h"
#include "support/FakeAccount.h"
#include "support/PrivateDisplay.h"
#include "support/TestEnvironment.h"
#include "view/page/QeltViewFrame.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWindow>

// Xlib's macros go after Qt's headers.
#include "support/Typist.h"

#include <cstdio>
#include <functional>

namespace {

constexpr int kRuns = 7;
constexpr int kAnswerTimesMs[] = {0, 1000};

// Runs the event loop until `done` holds; false after `ms`. The web engine makes little headway when the
// loop is left between checks.
bool waitInLoop(const std::function<bool()>& done, int ms = 60000)
{
    QEventLoop loop;
    QTimer poll;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (done() || clock.elapsed() > ms)
            loop.quit();
    });
    poll.start(1);
    if (!done())
        loop.exec();
    return done();
}

// One capture: milliseconds from the result's arrival to the window on the screen with the Qelt drawn and
// its Data rows; negative when something never came.
double firstResult(Application& app, Typist& typist, zq::test::FakeService& service, int serial)
{
    QElapsedTimer clock;
    clock.start();
    bool uploaded = false;
    qint64 arrived = -1;
    int sizeReports = 0;
    QObject context;
    QObject::connect(&service, &zq::test::FakeService::received, &context,
                     [&](const zq::test::RecordedRequest& request) {
                         uploaded |= request.path == QLatin1String("/v1/qelts-multipart");
                     });
    // The upload's result is handled right after this signal: the Qelt joins the library and is shown.
    QObject::connect(&app.recognition(), &RecognitionUpload::activity, &context, [&] {
        if (uploaded && arrived < 0)
            arrived = clock.nsecsElapsed();
    });
    QeltViewFrame* page = app.mainWindow()->viewPage();
    QObject::connect(page, &QeltViewFrame::UpdateSize, &context, [&] { sizeReports += arrived >= 0; });
    const QString id = QStringLiteral("cap%1").arg(serial);
    const QWidget* dataRows = page->findChild<QWidget*>(QStringLiteral("scrollAreaWidgetContents"));

    typist.hotkey();
    if (!waitInLoop([&] { return overlaysExposed(app.screenShooter()); }))
        return -1;
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    typist.drag(screen.topLeft() + QPoint(200, 150), screen.topLeft() + QPoint(1000, 450));
    const QWidget* window = app.mainWindow();
    if (!waitInLoop([&] {
            return page->currentQeltId() == id && sizeReports > 0 &&
                   !dataRows->findChildren<QLineEdit*>(QString(), Qt::FindDirectChildrenOnly).isEmpty() &&
                   window->windowHandle() && window->windowHandle()->isExposed();
        }))
        return -1;
    return (clock.nsecsElapsed() - arrived) / 1e6;
}

// The application right after its start: a cold result, then a warm one; prints both.
int runChild(int argc, char* argv[], int answerMs)
{
    // The fake serves no images, chats or user records: what the program says about them is no figure.
    qputenv("QT_LOGGING_RULES", "*.info=false;default.warning=false");
    startup::prepareProcess();
    Application app(argc, argv);
    zq::test::FakeService service;
    zq::test::FakeAccount account(service);
    for (int i = 0; i < 20; ++i)
        account.add(QStringLiteral("q%1").arg(i), QStringLiteral("x^%1").arg(i));
    answerUploads(service, account, QStringLiteral("x = \\frac{-b \\pm \\sqrt{b^2-4ac}}{2a}"), answerMs);
    if (!startSignedIn(app, service))
        return 1;
    Typist typist;
    if (!typist.ok() || !app.mainWindow())
        return 1;
    const double cold = firstResult(app, typist, service, 1);
    const double warm = firstResult(app, typist, service, 2);
    std::printf("%.3f %.3f\n", cold, warm);
    std::fflush(stdout);
    app.Cleanup();
    return cold < 0 || warm < 0;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc > 2 && qstrcmp(argv[1], "--child") == 0)
        return runChild(argc, argv, atoi(argv[2]));

    zq::test::prepareEnvironment();
    qputenv("TMPDIR", QFile::encodeName(zq::test::homePath()));
    QApplication app(argc, argv);
    // As at a desktop's login: a tray takes the program's icon, and no window opens at the start.
    zq::test::TrayHost tray;
    waitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 60000);
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        std::printf("no tray host\n");
        return 1;
    }
    for (const int answerMs : kAnswerTimesMs) {
        QVector<double> cold, warm;
        for (int run = answerMs == kAnswerTimesMs[0] ? -1 : 0; run < kRuns; ++run) {
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child.start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("--child"), QString::number(answerMs)});
            if (!child.waitForFinished(300000) || child.exitCode() != 0) {
                std::printf("a start did not show its results\n");
                return 1;
            }
            const QList<QByteArray> figures = child.readAllStandardOutput().trimmed().split(' ');
            if (run < 0)
                continue; // the first start ever on this machine
            cold.append(figures.value(0).toDouble());
            warm.append(figures.value(1).toDouble());
        }
        const double warmMs = median(warm);
        std::printf("service answers after %4d ms, medians of %d starts:\n", answerMs, kRuns);
        std::printf(
            "  first result after the start, arrival to shown: %8.1f ms   ratio %5.2f x (goal <= 2)\n",
            median(cold), warmMs > 0 ? median(cold) / warmMs : 0.0);
        std::printf("  second result, warm page:                       %8.1f ms\n", warmMs);
        std::fflush(stdout);
    }
    return 0;
}
