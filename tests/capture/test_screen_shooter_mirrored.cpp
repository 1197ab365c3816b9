#include "capture/ScreenGrabberLin.h"
#include "capturePatterns.h"
#include "support/DummyXorg.h"
#include "support/TestMain.h"

#include <QProcess>
#include <QScreen>

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

        QWidget window(nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
        window.setGeometry(kScreen);
        QPalette palette;
        palette.setBrush(QPalette::Window, QPixmap::fromImage(pattern(kScreen)));
        window.setPalette(palette);
        window.setAutoFillBackground(true);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // Until the server has drawn the pattern, grab again.
        ScreenGrabberLin grabber(nullptr);
        QSignalSpy grabbed(&grabber, &ScreenGrabber::finished);
        const QPoint last = kScreen.bottomRight();
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                grabber.grab();
                if (!grabbed.wait(5000))
                    return false;
                const QImage shown =
                    grabbed.takeLast().at(0).value<QList<Screenshot>>().at(1).pixmap.toImage();
                return shown.pixel(last) == patternAt(last.x(), last.y());
            }(),
            10000);

        ScreenShooter shooter(new ScreenGrabberLin(nullptr), nullptr);
        QSignalSpy ready(&shooter, &ScreenShooter::screenshotReady);
        shooter.makeScreenshot();
        QTRY_VERIFY(overlaysExposed(shooter, 1));
        QVERIFY(QProcess::execute(QStringLiteral("xdotool"), {"mousemove", "300", "200", "mousedown", "1",
                                                              "mousemove", "500", "300", "mouseup", "1"}) ==
                0);
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
