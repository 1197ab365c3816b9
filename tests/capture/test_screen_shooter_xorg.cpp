#include "capturePatterns.h"
#include "support/DummyXorg.h"
#include "support/WestonDesktop.h"

#include <QProcess>

// Real desktops: Xorg with the dummy driver, a 1920 x 1080 monitor and a 1280 x 1024 one to its right,
// or, with ZQ_MIRRORED set, two monitors showing one picture (a projector mirroring a laptop), with the
// real X11 grabber and real pointer and key events from another X client; or, with ZQ_WAYLAND set, a
// Wayland desktop of two outputs under Qt's Wayland platform, where a window cannot place itself.

using namespace capture_test;

namespace {

const bool kMirrored = qEnvironmentVariableIsSet("ZQ_MIRRORED");
const bool kWayland = qEnvironmentVariableIsSet("ZQ_WAYLAND");
// Weston's outputs differ in size, so that the size an overlay is given tells which one shows it.
const QList<QRect> kMonitors =
    kWayland
        ? QList<QRect>{{0, 0, 1024, 768}, {1024, 0, 800, 600}}
        : QList<QRect>{{0, 0, 1920, 1080}, kMirrored ? QRect(0, 0, 1920, 1080) : QRect(1920, 0, 1280, 1024)};
// Before main: Qt opens the display once, with the application object.
const bool kStarted =
    (kWayland ? zq::test::startWestonDesktop({kMonitors.at(0).size(), kMonitors.at(1).size()})
              : zq::test::startDummyDesktop(kMonitors),
     true);

// A press at start, a move through the middle to end and a release, as xdotool arguments.
QStringList pointerDrag(const QPoint& start, const QPoint& end)
{
    const auto move = [](const QPoint& p) {
        return QStringList{"mousemove", QString::number(p.x()), QString::number(p.y())};
    };
    return move(start) + QStringList{"mousedown", "1"} + move((start + end) / 2) + move(end) +
           QStringList{"mouseup", "1"};
}

QString rectText(const QRect& rect)
{
    return QString::asprintf("%d,%d %dx%d", rect.x(), rect.y(), rect.width(), rect.height());
}

} // namespace

class TestScreenShooterXorg : public QObject
{
    Q_OBJECT

    std::vector<std::unique_ptr<QLabel>> windows;

private slots:
    void initTestCase()
    {
        QVERIFY(kStarted);
        QCOMPARE(QGuiApplication::screens().size(), 2);
        if (kWayland) {
            // The compositor lays its outputs out left to right; their pictures are given, not grabbed.
            for (int i = 0; i < 2; ++i)
                QCOMPARE(QGuiApplication::screens().at(i)->geometry(), kMonitors.at(i));
            return;
        }
        for (const QRect& monitor : kMonitors) {
            windows.push_back(patternWindow(monitor));
            windows.back()->show();
        }
        // The X11 grabber reads every screen whole, in screen order.
        const QList<Screenshot> shots = grabShownPattern();
        QCOMPARE(shots.size(), 2);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(shots.at(i).screen->geometry(), kMonitors.at(i));
            QCOMPARE(shots.at(i).pixmap.size(), kMonitors.at(i).size());
        }
    }

    // Each overlay covers its own screen: placed there on X11, less its last column and row; under Wayland,
    // where a window cannot place itself, full screen on the output the compositor shows it on.
    void overlaysCoverTheirOwnScreens()
    {
        QList<Screenshot> shots;
        for (QScreen* screen : QGuiApplication::screens())
            shots << Screenshot{screen, QPixmap::fromImage(pattern(screen->geometry())), screen->geometry()};
        ScreenShooter shooter(GivenPictures::factory(shots), nullptr);
        QSignalSpy ready(&shooter, &ScreenShooter::screenshotReady);
        shooter.makeScreenshot();
        const int overlays = kMirrored ? 1 : 2;
        QTRY_VERIFY(overlaysExposed(shooter, overlays));
        // Under Wayland the size comes from the compositor: its full-screen size on the output it chose.
        QStringList expected;
        for (int i = 0; i < overlays; ++i)
            expected << rectText(kWayland ? kMonitors.at(i) : kMonitors.at(i).adjusted(0, 0, -1, -1));
        const auto covered = [&shooter] {
            QStringList rects;
            for (const ScreenShooterDialog* overlay : shooter.overlays())
                rects << rectText(overlay->geometry());
            return rects.join(" | ");
        };
        QTRY_COMPARE(covered(), expected.join(" | "));
        QTest::keyClick(shooter.overlays().at(0), Qt::Key_Escape);
        QCOMPARE(ready.count(), 1);
        QTRY_VERIFY(shooter.overlays().isEmpty());
    }

    void pointerOrKeyEndsTheCapture_data()
    {
        if (kWayland)
            QSKIP("The pointer and keys are driven on X11");
        QTest::addColumn<QStringList>("input"); // xdotool arguments
        QTest::addColumn<QRect>("expected");    // global pixels; null: nothing captured
        QTest::addColumn<int>("reporter");      // the overlay that reports it
        const auto row = [](const char* name, const QStringList& input, const QRect& expected, int reporter) {
            QTest::newRow(name) << input << expected << reporter;
        };
        const QStringList escape{"key", "Escape"};
        row("key", escape, {}, 0);
        // The right button starts nothing; the key after it is what ends the capture.
        row("right button",
            QStringList{"mousemove", "100", "100", "mousedown", "3", "mousemove", "400", "400", "mouseup",
                        "3"} +
                escape,
            {}, 0);
        row("five wide", pointerDrag({10, 10}, {14, 100}), {}, 0);
        if (kMirrored) {
            row("drag", pointerDrag({300, 200}, {500, 300}), {300, 200, 201, 101}, 0);
            return;
        }
        row("left to right", pointerDrag({1700, 300}, {2300, 600}), {QPoint(1700, 300), QPoint(1919, 600)},
            0);
        row("right to left", pointerDrag({2100, 900}, {1500, 200}), {QPoint(1920, 200), QPoint(2100, 900)},
            1);
        row("below the right screen", pointerDrag({1000, 1000}, {2200, 1070}),
            {QPoint(1000, 1000), QPoint(1919, 1070)}, 0);
        // The overlays leave their screen's last column uncovered: a press there selects on neither.
        row("last column", pointerDrag({1919, 300}, {1500, 400}), {}, 0);
    }

    void pointerOrKeyEndsTheCapture()
    {
        QFETCH(QStringList, input);
        QFETCH(QRect, expected);
        QFETCH(int, reporter);
        QCOMPARE(grabShownPattern().size(), 2); // the last capture's overlays are gone from the screen

        ScreenShooter shooter([] { return new ScreenGrabberLin(nullptr); }, nullptr);
        QSignalSpy ready(&shooter, &ScreenShooter::screenshotReady);
        shooter.makeScreenshot();
        const int overlays = kMirrored ? 1 : 2; // mirrored screens share one
        QTRY_VERIFY(overlaysExposed(shooter, overlays));
        QCOMPARE(QProcess::execute("xdotool", input), 0);
        // A release reaches every overlay, a key only the one that has it.
        QTRY_COMPARE(ready.count(), input.contains("key") ? 1 : overlays);
        for (int i = 0; i < ready.count(); ++i) {
            const QRect region = i == reporter ? expected : QRect();
            const QPixmap picture = ready.at(i).at(0).value<QPixmap>();
            QCOMPARE(picture.size(), region.isNull() ? QSize(0, 0) : region.size());
            QVERIFY(showsPattern(picture, region.topLeft()));
        }
        QTRY_VERIFY(shooter.overlays().isEmpty());
    }
};

ZQ_TEST_MAIN(TestScreenShooterXorg)
#include "test_screen_shooter_xorg.moc"
