#include "capturePatterns.h"
#include "support/TestMain.h"

using namespace capture_test;

namespace {

// A picture for part of the screen that Qt knows nothing about, so that one X screen can hold several.
Screenshot pictureOf(const QRect& geometry)
{
    return Screenshot{nullptr, QPixmap::fromImage(pattern(geometry)), geometry};
}

QRect screenRect()
{
    return QGuiApplication::primaryScreen()->geometry();
}

// The screen's left and right halves, as two screens side by side would be.
QList<Screenshot> halves()
{
    const QRect screen = screenRect();
    const QRect left(0, 0, screen.width() / 2, screen.height());
    return {pictureOf(left),
            pictureOf(QRect(left.width(), 0, screen.width() - left.width(), screen.height()))};
}

} // namespace

class TestScreenShooter : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScreenShooter> shooter;
    std::unique_ptr<QSignalSpy> ready;

    // Opens the overlays for the given pictures and waits until the X server shows all of them.
    bool open(const QList<Screenshot>& shots)
    {
        shooter = std::make_unique<ScreenShooter>(new GivenPictures(shots), nullptr);
        ready = std::make_unique<QSignalSpy>(shooter.get(), &ScreenShooter::screenshotReady);
        shooter->makeScreenshot();
        return QTest::qWaitFor([&] { return overlaysExposed(*shooter, shots.size()); });
    }

    QPixmap reported(int index) const { return ready->at(index).at(0).value<QPixmap>(); }

    ScreenShooterDialog* overlay(int index = 0) const { return shooter->overlays().at(index); }

private slots:
    void cleanup()
    {
        ready.reset();
        shooter.reset();
    }

    void overlayShowsGreyCopyAndSelectionInColour()
    {
        QVERIFY(open({pictureOf(screenRect())}));
        QCOMPARE(overlay()->geometry(), screenRect().adjusted(0, 0, -1, -1));
        const auto greyAt = [](int x, int y) {
            const QRgb p = patternAt(x, y);
            const int g = (11 * qRed(p) + 16 * qGreen(p) + 5 * qBlue(p)) / 32;
            return qRgb(g, g, g);
        };
        QImage shown = overlay()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        for (const QPoint& p : {QPoint(0, 0), QPoint(300, 200), QPoint(1000, 700)})
            QCOMPARE(shown.pixel(p), greyAt(p.x(), p.y()));

        QTest::mousePress(overlay(), Qt::LeftButton, {}, QPoint(100, 100));
        dragTo(overlay(), QPoint(200, 150));
        shown = overlay()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown.pixel(150, 120), patternAt(150, 120)); // inside: colour
        QCOMPARE(shown.pixel(100, 130), qRgb(255, 0, 0));     // outline
        QCOMPARE(shown.pixel(250, 120), greyAt(250, 120));    // outside: grey
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
        QVERIFY(open({pictureOf(screenRect())}));
        QPointer<ScreenShooterDialog> target = overlay();
        QTest::mousePress(target, Qt::LeftButton, {}, from);
        dragTo(target, (from + to) / 2);
        dragTo(target, to);
        QTest::mouseRelease(target, Qt::LeftButton, {}, to);
        QCOMPARE(ready->count(), 1);
        QCOMPARE(reported(0).size(), expected.size());
        QCOMPARE(firstMismatch(reported(0), expected.topLeft()), QPoint(-1, -1));
        QTRY_VERIFY(!target);
    }

    void rightButtonStartsNothing()
    {
        QVERIFY(open({pictureOf(screenRect())}));
        QTest::mousePress(overlay(), Qt::RightButton, {}, QPoint(10, 10));
        dragTo(overlay(), QPoint(200, 200));
        QTest::mouseRelease(overlay(), Qt::RightButton, {}, QPoint(200, 200));
        QCOMPARE(ready->count(), 0);
        QCOMPARE(shooter->overlays().size(), 1);
    }

    // The overlay leaves the screen's last column and row uncovered; presses there still reach it.
    void pressOnTheLastColumnOrRowCancels_data()
    {
        QTest::addColumn<QPoint>("edge");
        QTest::newRow("last column") << QPoint(screenRect().right(), 300);
        QTest::newRow("last row") << QPoint(300, screenRect().bottom());
    }

    void pressOnTheLastColumnOrRowCancels()
    {
        QFETCH(QPoint, edge);
        QVERIFY(open({pictureOf(screenRect())}));
        emit overlay()->mousePressed(edge);
        emit overlay()->mouseReleased(QPoint(100, 100));
        QCOMPARE(ready->count(), 1);
        QVERIFY(reported(0).isNull());
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
        QVERIFY(open(halves()));
        QPointer<ScreenShooterDialog> first = overlay(0), second = overlay(1);
        QTest::keyClick(second, Qt::Key(key));
        QCOMPARE(ready->count(), 1);
        QVERIFY(reported(0).isNull());
        QTRY_VERIFY(!first && !second);
    }

    void dragAcrossLinkedOverlaysCapturesOnTheStartingOne()
    {
        // The mouse events all arrive at the last overlay opened, as they do at the top popup.
        QVERIFY(open(halves()));
        ScreenShooterDialog* receiver = overlay(1);
        const int middle = screenRect().width() / 2;
        const QPoint start(middle - 100, 300), end(middle + 200, 400);
        QTest::mousePress(receiver, Qt::LeftButton, {}, receiver->mapFromGlobal(start));
        dragTo(receiver, receiver->mapFromGlobal(end));
        QTest::mouseRelease(receiver, Qt::LeftButton, {}, receiver->mapFromGlobal(end));

        QCOMPARE(ready->count(), 2);
        // The left overlay keeps what lies on its screen's picture.
        QCOMPARE(reported(0).size(), QRect(start, QPoint(middle - 1, end.y())).size());
        QCOMPARE(firstMismatch(reported(0), start), QPoint(-1, -1));
        QVERIFY(reported(1).isNull());
        QTRY_VERIFY(shooter->overlays().isEmpty());
    }

    void closingOneOverlayClosesTheOthers()
    {
        const QRect screen = screenRect();
        QVERIFY(open({pictureOf({0, 0, 400, 400}), pictureOf({400, 0, 400, 400}),
                      pictureOf({0, 400, screen.width(), screen.height() - 400})}));
        overlay(1)->windowHandle()->close(); // as the window system would
        QTRY_VERIFY(shooter->overlays().isEmpty());
        QCOMPARE(ready->count(), 0);
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
        QVERIFY(open({pictureOf(screenRect())}));
        QPointer<ScreenShooterDialog> old = overlay();
        shooter->makeScreenshot();
        QVERIFY(shooter->overlays().isEmpty());
        // The closings queued by the old overlay ran before the new grab and left the new set alone.
        QTRY_VERIFY(!old);
        QTRY_VERIFY(overlaysExposed(*shooter, 1));
        QCoreApplication::processEvents();
        QCOMPARE(shooter->overlays().size(), 1);
    }
};

ZQ_TEST_MAIN(TestScreenShooter)
#include "test_screen_shooter.moc"
