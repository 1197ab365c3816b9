#include "capturePatterns.h"
#include "support/DummyXorg.h"
#include "support/TestMain.h"

// Two monitors showing the same picture (a projector mirroring a laptop) on a real Xorg desktop: Qt
// reports two screens with one geometry, and the capture must open a single overlay.

using namespace capture_test;

namespace {

const QRect kScreen(0, 0, 1920, 1080);

} // namespace

class TestScreenShooterMirrored : public QObject
{
    Q_OBJECT

private slots:
    void mirroredScreensShareOneOverlay()
    {
        const auto screens = QGuiApplication::screens();
        QCOMPARE(screens.size(), 2);
        QCOMPARE(screens.at(0)->geometry(), kScreen);
        QCOMPARE(screens.at(1)->geometry(), kScreen);
        PatternWindow window(kScreen);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(grabShownPattern().size(), 2);

        ScreenShooter shooter(new ScreenGrabberLin(nullptr), nullptr);
        QSignalSpy ready(&shooter, &ScreenShooter::screenshotReady);
        shooter.makeScreenshot();
        QTRY_VERIFY(overlaysExposed(shooter, 1));
        QVERIFY(xdotool(pointerDrag({300, 200}, {500, 300})));
        QTRY_COMPARE(ready.count(), 1);
        const QPixmap region = ready.at(0).at(0).value<QPixmap>();
        QCOMPARE(region.size(), QSize(201, 101));
        QCOMPARE(firstMismatch(region, QPoint(300, 200)), QPoint(-1, -1));
        QTRY_VERIFY(shooter.overlays().isEmpty());
    }
};

int main(int argc, char* argv[])
{
    zq::test::startDummyDesktop({kScreen, kScreen});
    zq::test::prepareEnvironment();
    QApplication app(argc, argv);
    zq::test::prepareApplication();
    TestScreenShooterMirrored tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "test_screen_shooter_mirrored.moc"
