#include "capture/ScreenGrabberLin.h"
#include "capture/ScreenShooter.h"
#include "capture/ScreenShooterDialog.h"
#include "capturePatterns.h"
#include "support/TestMain.h"

#include <QPainter>
#include <QScreen>

// Runs with QT_SCALE_FACTOR=2: every screen has a device pixel ratio of 2, as on a HiDPI desktop. The
// X11 grab delivers device pixels, a desktop split logical ones; the overlay must crop what was shown
// under the pointer either way.

using namespace capture_test;

namespace {

// The pattern in device pixels over the whole screen.
class PatternWindow : public QWidget
{
public:
    PatternWindow() : QWidget(nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint)
    {
        QScreen* screen = QGuiApplication::primaryScreen();
        image = pattern(screen->geometry().size() * screen->devicePixelRatio());
        image.setDevicePixelRatio(screen->devicePixelRatio());
        setGeometry(screen->geometry());
    }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(0, 0, image); }

private:
    QImage image;
};

bool exposed(const ScreenShooter& shooter)
{
    const auto overlays = shooter.overlays();
    return overlays.size() == 1 && overlays.at(0)->windowHandle() &&
           overlays.at(0)->windowHandle()->isExposed();
}

// Drags over the logical rectangle (100, 50) to (299, 149) and returns what the shooter reports.
QPixmap dragOver(ScreenShooter& shooter)
{
    QSignalSpy ready(&shooter, &ScreenShooter::screenshotReady);
    ScreenShooterDialog* overlay = shooter.overlays().at(0);
    QTest::mousePress(overlay, Qt::LeftButton, {}, QPoint(100, 50));
    dragTo(overlay, QPoint(299, 149));
    QTest::mouseRelease(overlay, Qt::LeftButton, {}, QPoint(299, 149));
    return ready.isEmpty() ? QPixmap() : ready.at(0).at(0).value<QPixmap>();
}

} // namespace

class TestScreenShooterHiDpi : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QCOMPARE(QGuiApplication::primaryScreen()->devicePixelRatio(), 2.0); }

    void directGrabIsCroppedInDevicePixels()
    {
        PatternWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QSize device = QGuiApplication::primaryScreen()->geometry().size() * 2;
        const QPoint last(device.width() - 1, device.height() - 1);

        // The server may need a moment to draw the window; grab until it shows.
        ScreenGrabberLin grabber(nullptr);
        QSignalSpy finished(&grabber, &ScreenGrabber::finished);
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                grabber.grab();
                if (!finished.wait(5000))
                    return false;
                const QImage shown =
                    finished.takeLast().at(0).value<QList<Screenshot>>().at(0).pixmap.toImage();
                return shown.size() == device && shown.pixel(last) == patternAt(last.x(), last.y());
            }(),
            10000);

        ScreenShooter shooter(new ScreenGrabberLin(nullptr), nullptr);
        shooter.makeScreenshot();
        QTRY_VERIFY(exposed(shooter));
        QCOMPARE(shooter.overlays().at(0)->pictureScale(), 2.0);
        const QPixmap crop = dragOver(shooter);
        QCOMPARE(crop.size(), QSize(400, 200));
        QCOMPARE(firstMismatch(crop, QPoint(200, 100)), QPoint(-1, -1));
    }

    void splitPictureIsCroppedInLogicalPixels()
    {
        QScreen* screen = QGuiApplication::primaryScreen();
        const QPixmap logical = QPixmap::fromImage(pattern(screen->geometry().size()));
        ScreenShooter shooter(new GivenPictures({Screenshot{screen, logical, screen->geometry()}}), nullptr);
        shooter.makeScreenshot();
        QTRY_VERIFY(exposed(shooter));
        QCOMPARE(shooter.overlays().at(0)->pictureScale(), 1.0);
        const QPixmap crop = dragOver(shooter);
        QCOMPARE(crop.size(), QSize(200, 100));
        QCOMPARE(firstMismatch(crop, QPoint(100, 50)), QPoint(-1, -1));
    }
};

ZQ_TEST_MAIN(TestScreenShooterHiDpi)
#include "test_screen_shooter_hidpi.moc"
