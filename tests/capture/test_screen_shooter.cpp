#include "capture/ScreenGrabberLin.h"
#include "capture/ScreenShooter.h"
#include "capture/ScreenShooterDialog.h"
#include "capturePatterns.h"
#include "support/TestMain.h"

#include <QPainter>
#include <QScreen>

using namespace capture_test;

namespace {

// A picture for part of the screen that Qt knows nothing about, so that one X screen can hold several.
Screenshot pictureOf(const QRect& geometry)
{
    return Screenshot{nullptr, QPixmap::fromImage(pattern(geometry)), geometry};
}

QList<QPixmap> reported(const QSignalSpy& spy)
{
    QList<QPixmap> pixmaps;
    for (const auto& arguments : spy)
        pixmaps.append(arguments.at(0).value<QPixmap>());
    return pixmaps;
}

} // namespace

class TestScreenShooter : public QObject
{
    Q_OBJECT

private:
    QRect screenRect() const { return QGuiApplication::primaryScreen()->geometry(); }

    // Opens the overlays for the given pictures and waits until the X server shows all of them.
    std::unique_ptr<ScreenShooter> openOverlays(const QList<Screenshot>& shots)
    {
        auto shooter = std::make_unique<ScreenShooter>(new GivenPictures(shots), nullptr);
        shooter->makeScreenshot();
        return shooter;
    }

private slots:
    void x11GrabberReadsWhatIsOnScreen()
    {
        QWidget window(nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
        const QImage shown = pattern(screenRect());
        window.setGeometry(screenRect());
        QPalette palette;
        palette.setBrush(QPalette::Window, QPixmap::fromImage(shown));
        window.setPalette(palette);
        window.setAutoFillBackground(true);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        ScreenGrabberLin grabber(nullptr);
        QSignalSpy finished(&grabber, &ScreenGrabber::finished);
        QImage grabbed;
        // The server may need a moment to draw the window; grab until it shows.
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                grabber.grab();
                if (!finished.wait(5000))
                    return false;
                const auto shots = finished.takeLast().at(0).value<QList<Screenshot>>();
                if (shots.size() != QGuiApplication::screens().size())
                    return false;
                grabbed = shots.at(0).pixmap.toImage().convertToFormat(QImage::Format_RGB32);
                return grabbed.pixel(grabbed.width() - 1, grabbed.height() - 1) ==
                       shown.pixel(shown.width() - 1, shown.height() - 1);
            }(),
            10000);
        QCOMPARE(grabbed.size(), screenRect().size());
        QCOMPARE(firstMismatch(QPixmap::fromImage(grabbed), screenRect().topLeft()), QPoint(-1, -1));
    }

    void overlayShowsGreyCopyAndSelectionInColour()
    {
        auto shooter = openOverlays({pictureOf(screenRect())});
        QTRY_VERIFY(overlaysExposed(*shooter, 1));
        ScreenShooterDialog* overlay = shooter->overlays().at(0);
        QCOMPARE(overlay->geometry(), screenRect().adjusted(0, 0, -1, -1));

        const auto greyOf = [](QRgb p) {
            const int g = (11 * qRed(p) + 16 * qGreen(p) + 5 * qBlue(p)) / 32;
            return qRgb(g, g, g);
        };
        QImage shown = overlay->grab().toImage().convertToFormat(QImage::Format_RGB32);
        for (const QPoint& p : {QPoint(0, 0), QPoint(300, 200), QPoint(1000, 700)})
            QCOMPARE(shown.pixel(p), greyOf(patternAt(p.x(), p.y())));

        QTest::mousePress(overlay, Qt::LeftButton, {}, QPoint(100, 100));
        dragTo(overlay, QPoint(200, 150));
        shown = overlay->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown.pixel(150, 120), patternAt(150, 120));         // inside: colour
        QCOMPARE(shown.pixel(100, 130), qRgb(255, 0, 0));             // outline
        QCOMPARE(shown.pixel(250, 120), greyOf(patternAt(250, 120))); // outside: grey
    }

    void dragReportsTheSelectedRegion_data()
    {
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("to");
        QTest::addColumn<QRect>("expected"); // null: nothing captured

        QTest::newRow("up left") << QPoint(339, 199) << QPoint(100, 80) << QRect(100, 80, 240, 120);
        QTest::newRow("five wide") << QPoint(10, 10) << QPoint(14, 100) << QRect();
    }

    void dragReportsTheSelectedRegion()
    {
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        QFETCH(QRect, expected);
        auto shooter = openOverlays({pictureOf(screenRect())});
        QTRY_VERIFY(overlaysExposed(*shooter, 1));
        QSignalSpy ready(shooter.get(), &ScreenShooter::screenshotReady);
        QPointer<ScreenShooterDialog> overlay = shooter->overlays().at(0);

        QTest::mousePress(overlay, Qt::LeftButton, {}, from);
        dragTo(overlay, (from + to) / 2);
        dragTo(overlay, to);
        QTest::mouseRelease(overlay, Qt::LeftButton, {}, to);
        QCOMPARE(ready.count(), 1);
        const QPixmap pixmap = ready.at(0).at(0).value<QPixmap>();
        if (expected.isNull()) {
            QVERIFY(pixmap.isNull());
        } else {
            QCOMPARE(pixmap.size(), expected.size());
            QCOMPARE(firstMismatch(pixmap, expected.topLeft()), QPoint(-1, -1));
        }
        QTRY_VERIFY(!overlay);
    }

    void rightButtonStartsNothing()
    {
        auto shooter = openOverlays({pictureOf(screenRect())});
        QTRY_VERIFY(overlaysExposed(*shooter, 1));
        QSignalSpy ready(shooter.get(), &ScreenShooter::screenshotReady);
        ScreenShooterDialog* overlay = shooter->overlays().at(0);
        QTest::mousePress(overlay, Qt::RightButton, {}, QPoint(10, 10));
        dragTo(overlay, QPoint(200, 200));
        QTest::mouseRelease(overlay, Qt::RightButton, {}, QPoint(200, 200));
        QCOMPARE(ready.count(), 0);
        QCOMPARE(shooter->overlays().size(), 1);
    }

    void pressOnTheLastColumnOrRowCancels_data()
    {
        QTest::addColumn<bool>("column");
        QTest::newRow("last column") << true;
        QTest::newRow("last row") << false;
    }

    void pressOnTheLastColumnOrRowCancels()
    {
        QFETCH(bool, column);
        auto shooter = openOverlays({pictureOf(screenRect())});
        QTRY_VERIFY(overlaysExposed(*shooter, 1));
        QSignalSpy ready(shooter.get(), &ScreenShooter::screenshotReady);
        ScreenShooterDialog* overlay = shooter->overlays().at(0);
        // The overlay leaves the screen's last column and row uncovered; presses there still reach it.
        const QPoint edge = column ? QPoint(screenRect().right(), 300) : QPoint(300, screenRect().bottom());
        emit overlay->mousePressed(edge);
        emit overlay->mouseReleased(QPoint(100, 100));
        QCOMPARE(ready.count(), 1);
        QVERIFY(ready.at(0).at(0).value<QPixmap>().isNull());
        QTRY_VERIFY(shooter->overlays().isEmpty());
    }

    void anyKeyCancelsAndClosesEveryOverlay_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("escape") << int(Qt::Key_Escape);
        QTest::newRow("letter") << int(Qt::Key_A);
    }

    void anyKeyCancelsAndClosesEveryOverlay()
    {
        QFETCH(int, key);
        const QRect screen = screenRect();
        const QRect left(0, 0, screen.width() / 2, screen.height());
        const QRect right(left.width(), 0, screen.width() - left.width(), screen.height());
        auto shooter = openOverlays({pictureOf(left), pictureOf(right)});
        QTRY_VERIFY(overlaysExposed(*shooter, 2));
        QSignalSpy ready(shooter.get(), &ScreenShooter::screenshotReady);
        const auto overlays = shooter->overlays();
        QPointer<ScreenShooterDialog> first = overlays.at(0), second = overlays.at(1);

        QTest::keyClick(second, Qt::Key(key));
        QCOMPARE(ready.count(), 1);
        QVERIFY(ready.at(0).at(0).value<QPixmap>().isNull());
        QTRY_VERIFY(!first && !second);
    }

    void dragAcrossLinkedOverlaysCapturesOnTheStartingOne()
    {
        // Two pictures side by side, as two screens would be; the mouse events all arrive at the last
        // overlay opened, as they do at the top popup.
        const QRect screen = screenRect();
        const QRect left(0, 0, screen.width() / 2, screen.height());
        const QRect right(left.width(), 0, screen.width() - left.width(), screen.height());
        auto shooter = openOverlays({pictureOf(left), pictureOf(right)});
        QTRY_VERIFY(overlaysExposed(*shooter, 2));
        QSignalSpy ready(shooter.get(), &ScreenShooter::screenshotReady);
        ScreenShooterDialog* receiver = shooter->overlays().at(1);

        const QPoint start(left.width() - 100, 300), end(left.width() + 200, 400);
        QTest::mousePress(receiver, Qt::LeftButton, {}, receiver->mapFromGlobal(start));
        dragTo(receiver, receiver->mapFromGlobal(end));
        QTest::mouseRelease(receiver, Qt::LeftButton, {}, receiver->mapFromGlobal(end));

        const QList<QPixmap> pixmaps = reported(ready);
        QCOMPARE(pixmaps.size(), 2);
        // The left overlay keeps what lies on its screen's picture.
        const QRect expected(start, QPoint(left.width() - 1, end.y()));
        QCOMPARE(pixmaps.at(0).size(), expected.size());
        QCOMPARE(firstMismatch(pixmaps.at(0), start), QPoint(-1, -1));
        QVERIFY(pixmaps.at(1).isNull());
        QTRY_VERIFY(shooter->overlays().isEmpty());
    }

    void closingOneOverlayClosesTheOthers()
    {
        const QRect screen = screenRect();
        auto shooter = openOverlays({pictureOf({0, 0, 400, 400}), pictureOf({400, 0, 400, 400}),
                                     pictureOf({0, 400, screen.width(), screen.height() - 400})});
        QTRY_VERIFY(overlaysExposed(*shooter, 3));
        QSignalSpy ready(shooter.get(), &ScreenShooter::screenshotReady);
        shooter->overlays().at(1)->windowHandle()->close(); // as the window system would
        QTRY_VERIFY(shooter->overlays().isEmpty());
        QCOMPARE(ready.count(), 0);
    }

    void nothingGrabbedOpensNoOverlay()
    {
        QTest::ignoreMessage(QtWarningMsg,
                             "[ScreenShooter] No screen could be grabbed; the capture does not start");
        auto* grabber =
            new GivenPictures({Screenshot{QGuiApplication::primaryScreen(), QPixmap(), screenRect()}});
        ScreenShooter shooter(grabber, nullptr);
        QSignalSpy grabbed(grabber, &ScreenGrabber::finished);
        shooter.makeScreenshot();
        QTRY_COMPARE(grabbed.count(), 1);
        QVERIFY(shooter.overlays().isEmpty());
        QVERIFY(!QApplication::activePopupWidget());
    }

    void newCaptureReplacesTheOpenOne()
    {
        auto* grabber = new GivenPictures({pictureOf(screenRect())});
        ScreenShooter shooter(grabber, nullptr);
        QSignalSpy grabbed(grabber, &ScreenGrabber::finished);
        shooter.makeScreenshot();
        QTRY_VERIFY(overlaysExposed(shooter, 1));
        QPointer<ScreenShooterDialog> old = shooter.overlays().at(0);

        shooter.makeScreenshot();
        QVERIFY(shooter.overlays().isEmpty());
        QTRY_COMPARE(grabbed.count(), 2);
        // The closings queued by the old overlay ran before the new grab and left the new set alone.
        QTRY_VERIFY(!old);
        QTRY_VERIFY(overlaysExposed(shooter, 1));
        QCoreApplication::processEvents();
        QCOMPARE(shooter.overlays().size(), 1);
    }
};

ZQ_TEST_MAIN(TestScreenShooter)
#include "test_screen_shooter.moc"
