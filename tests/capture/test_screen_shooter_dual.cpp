#include "capturePatterns.h"
#include "support/DummyXorg.h"
#include "support/TestMain.h"

// A real two-monitor desktop: Xorg with the dummy driver, a 1920 x 1080 monitor and a 1280 x 1024 one
// to its right, the real X11 grabber and real pointer events from another X client.

using namespace capture_test;

namespace {

const QRect kLeft(0, 0, 1920, 1080);
const QRect kRight(1920, 0, 1280, 1024);

} // namespace

class TestScreenShooterDual : public QObject
{
    Q_OBJECT

    std::unique_ptr<PatternWindow> leftWindow, rightWindow;

private slots:
    void initTestCase()
    {
        const auto screens = QGuiApplication::screens();
        QCOMPARE(screens.size(), 2);
        QCOMPARE(screens.at(0)->geometry(), kLeft);
        QCOMPARE(screens.at(1)->geometry(), kRight);
        leftWindow = std::make_unique<PatternWindow>(kLeft);
        rightWindow = std::make_unique<PatternWindow>(kRight);
        leftWindow->show();
        rightWindow->show();
        QVERIFY(QTest::qWaitForWindowExposed(leftWindow.get()));
        QVERIFY(QTest::qWaitForWindowExposed(rightWindow.get()));
    }

    void x11GrabberReadsEachScreenWhole()
    {
        const QList<Screenshot> shots = grabShownPattern();
        QCOMPARE(shots.size(), 2);
        for (int i = 0; i < 2; ++i) {
            const QRect geometry = i == 0 ? kLeft : kRight;
            QCOMPARE(shots.at(i).screen, QGuiApplication::screens().at(i));
            QCOMPARE(shots.at(i).pixmap.size(), geometry.size());
            QCOMPARE(firstMismatch(shots.at(i).pixmap, geometry.topLeft()), QPoint(-1, -1));
        }
    }

    void pointerDragAcrossScreensCapturesOnTheStartingScreen_data()
    {
        QTest::addColumn<QPoint>("start");
        QTest::addColumn<QPoint>("end");
        QTest::addColumn<QRect>("expected"); // global pixels of the region
        QTest::addColumn<int>("reporter");   // the overlay that reports it

        QTest::newRow("left to right")
            << QPoint(1700, 300) << QPoint(2300, 600) << QRect(QPoint(1700, 300), QPoint(1919, 600)) << 0;
        QTest::newRow("right to left")
            << QPoint(2100, 900) << QPoint(1500, 200) << QRect(QPoint(1920, 200), QPoint(2100, 900)) << 1;
        QTest::newRow("within the right screen")
            << QPoint(3000, 1000) << QPoint(2500, 10) << QRect(QPoint(2500, 10), QPoint(3000, 1000)) << 1;
        QTest::newRow("below the right screen's bottom")
            << QPoint(1000, 1000) << QPoint(2200, 1070) << QRect(QPoint(1000, 1000), QPoint(1919, 1070)) << 0;
    }

    void pointerDragAcrossScreensCapturesOnTheStartingScreen()
    {
        QFETCH(QPoint, start);
        QFETCH(QPoint, end);
        QFETCH(QRect, expected);
        QFETCH(int, reporter);
        QCOMPARE(grabShownPattern().size(), 2);

        ScreenShooter shooter(new ScreenGrabberLin(nullptr), nullptr);
        QSignalSpy ready(&shooter, &ScreenShooter::screenshotReady);
        shooter.makeScreenshot();
        QTRY_VERIFY(overlaysExposed(shooter, 2));
        QVERIFY(xdotool(pointerDrag(start, end)));
        QTRY_COMPARE(ready.count(), 2);
        const QPixmap region = ready.at(reporter).at(0).value<QPixmap>();
        QVERIFY(ready.at(1 - reporter).at(0).value<QPixmap>().isNull());
        QCOMPARE(region.size(), expected.size());
        QCOMPARE(firstMismatch(region, expected.topLeft()), QPoint(-1, -1));
        QTRY_VERIFY(shooter.overlays().isEmpty());
    }

    void keyFromAnotherClientCancels()
    {
        ScreenShooter shooter(new ScreenGrabberLin(nullptr), nullptr);
        QSignalSpy ready(&shooter, &ScreenShooter::screenshotReady);
        shooter.makeScreenshot();
        QTRY_VERIFY(overlaysExposed(shooter, 2));
        QVERIFY(xdotool({"key", "Escape"}));
        QTRY_COMPARE(ready.count(), 1);
        QVERIFY(ready.at(0).at(0).value<QPixmap>().isNull());
        QTRY_VERIFY(shooter.overlays().isEmpty());
    }
};

int main(int argc, char* argv[])
{
    zq::test::startDummyDesktop({kLeft, kRight});
    zq::test::prepareEnvironment();
    QApplication app(argc, argv);
    zq::test::prepareApplication();
    TestScreenShooterDual tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "test_screen_shooter_dual.moc"
