#include "capture/ScreenGrabberLin.h"
#include "capture/ScreenShooter.h"
#include "capture/ScreenShooterDialog.h"
#include "support/TestMain.h"

#include <QPainter>
#include <QScreen>

// Runs with QT_SCALE_FACTOR=2: every screen has a device pixel ratio of 2, as on a HiDPI desktop. The
// X11 grab delivers device pixels, a desktop split logical ones; the overlay must crop what was shown
// under the pointer either way.

namespace {

QRgb patternAt(int x, int y)
{
    return qRgb(x & 0xff, y & 0xff, ((x >> 8) & 0xf) << 4 | ((y >> 8) & 0xf));
}

QImage pattern(const QSize& size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, patternAt(x, y));
    return image;
}

QPoint firstMismatch(const QPixmap& picture, const QPoint& origin)
{
    const QImage image = picture.toImage().convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != patternAt(origin.x() + x, origin.y() + y))
                return QPoint(x, y);
    return QPoint(-1, -1);
}

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

class GivenPictures : public ScreenGrabber
{
public:
    explicit GivenPictures(QList<Screenshot> shots) : ScreenGrabber(nullptr), shots(std::move(shots)) {}
    QList<Screenshot> shots;

protected:
    void grabScreens() override { emit finished(shots); }
};

void dragTo(QWidget* widget, const QPoint& pos)
{
    QMouseEvent move(QEvent::MouseMove, pos, widget->mapToGlobal(pos), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(widget, &move);
}

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
