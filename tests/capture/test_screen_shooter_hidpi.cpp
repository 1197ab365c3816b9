#include "capturePatterns.h"
#include "support/TestMain.h"

// Runs with QT_SCALE_FACTOR=2: every screen has a device pixel ratio of 2, as on a HiDPI desktop. The
// X11 grab delivers device pixels, a desktop split logical ones; the overlay must crop what was shown
// under the pointer either way.

using namespace capture_test;

class TestScreenShooterHiDpi : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QCOMPARE(QGuiApplication::primaryScreen()->devicePixelRatio(), 2.0); }

    void dragIsCroppedAtThePicturesOwnScale_data()
    {
        QTest::addColumn<bool>("direct"); // the real X11 grab, or a split desktop's logical picture
        QTest::addColumn<int>("factor");
        QTest::newRow("direct grab, device pixels") << true << 2;
        QTest::newRow("split picture, logical pixels") << false << 1;
    }

    void dragIsCroppedAtThePicturesOwnScale()
    {
        QFETCH(bool, direct);
        QFETCH(int, factor);
        QScreen* screen = QGuiApplication::primaryScreen();
        PatternWindow window(screen->geometry(), 2);
        ScreenGrabber* grabber = new GivenPictures(
            {Screenshot{screen, QPixmap::fromImage(pattern(screen->geometry().size())), screen->geometry()}});
        if (direct) {
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            QCOMPARE(grabShownPattern().value(0).pixmap.size(), screen->geometry().size() * 2);
            delete grabber;
            grabber = new ScreenGrabberLin(nullptr);
        }

        ScreenShooter shooter(grabber, nullptr);
        QSignalSpy ready(&shooter, &ScreenShooter::screenshotReady);
        shooter.makeScreenshot();
        QTRY_VERIFY(overlaysExposed(shooter, 1));
        ScreenShooterDialog* overlay = shooter.overlays().at(0);
        QCOMPARE(overlay->pictureScale(), qreal(factor));
        // Drags over the logical rectangle (100, 50) to (299, 149).
        QTest::mousePress(overlay, Qt::LeftButton, {}, QPoint(100, 50));
        dragTo(overlay, QPoint(299, 149));
        QTest::mouseRelease(overlay, Qt::LeftButton, {}, QPoint(299, 149));
        QCOMPARE(ready.count(), 1);
        const QPixmap crop = ready.at(0).at(0).value<QPixmap>();
        QCOMPARE(crop.size(), QSize(200, 100) * factor);
        QCOMPARE(firstMismatch(crop, QPoint(100, 50) * factor), QPoint(-1, -1));
    }
};

ZQ_TEST_MAIN(TestScreenShooterHiDpi)
#include "test_screen_shooter_hidpi.moc"
