#include "capturePatterns.h"
#include "support/DummyXorg.h"

#include <QProcess>

// Real Xorg desktops with the dummy driver: a 1920 x 1080 monitor and a 1280 x 1024 one to its right,
// or, with ZQ_MIRRORED set, two monitors showing one picture (a projector mirroring a laptop). The real
// X11 grabber, and real pointer and key events from another X client.

using namespace capture_test;

namespace {

const bool kMirrored = qEnvironmentVariableIsSet("ZQ_MIRRORED");
const QList<QRect> kMonitors{{0, 0, 1920, 1080},
                             kMirrored ? QRect(0, 0, 1920, 1080) : QRect(1920, 0, 1280, 1024)};
// Before main: Qt opens the display once, with the application object.
const bool kStarted = (zq::test::startDummyDesktop(kMonitors), true);

// A press at start, a move through the middle to end and a release, as xdotool arguments.
QStringList pointerDrag(const QPoint& start, const QPoint& end)
{
    const auto move = [](const QPoint& p) {
        return QStringList{"mousemove", QString::number(p.x()), QString::number(p.y())};
    };
    return move(start) + QStringList{"mousedown", "1"} + move((start + end) / 2) + move(end) +
           QStringList{"mouseup", "1"};
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

    void pointerOrKeyEndsTheCapture_data()
    {
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

        ScreenShooter shooter(new ScreenGrabberLin(nullptr), nullptr);
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
