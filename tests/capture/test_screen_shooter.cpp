#include "capture/captureGeometry.h"
#include "capturePatterns.h"
#include "core/MemoryHold.h"

Q_DECLARE_METATYPE(ScreenGrabberKind)

// The arithmetic of a capture, and overlays on the shared X server at a device pixel ratio of 2
// (QT_SCALE_FACTOR=2), as on a HiDPI desktop. Parts of the one X screen stand in for several screens: their
// pictures name no QScreen. The pointer and keys on real desktops are in test_screen_shooter_xorg.

using namespace capture_test;
using namespace utils::capture;

namespace {

Screenshot pictureOf(const QRect& geometry, QScreen* screen = nullptr)
{
    return Screenshot{screen, QPixmap::fromImage(pattern(geometry)), geometry};
}

QRect screenRect()
{
    return QGuiApplication::primaryScreen()->geometry();
}

} // namespace

class TestScreenShooter : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScreenShooter> shooter;
    std::unique_ptr<QSignalSpy> ready;
    std::unique_ptr<QSignalSpy> drawn;

    // Opens the overlays for the grabber's pictures and waits until the X server shows all of them.
    bool open(ScreenShooter::GrabberFactory grabbers, int overlays)
    {
        shooter = std::make_unique<ScreenShooter>(std::move(grabbers), nullptr);
        ready = std::make_unique<QSignalSpy>(shooter.get(), &ScreenShooter::screenshotReady);
        drawn = std::make_unique<QSignalSpy>(shooter.get(), &ScreenShooter::overlaysDrawn);
        shooter->makeScreenshot();
        return QTest::qWaitFor([&] { return overlaysExposed(*shooter, overlays); }, zq::test::kWaitMs);
    }

    ScreenShooterDialog* overlay(int index = 0) const { return shooter->overlays().at(index); }

private slots:
    void cleanup()
    {
        drawn.reset();
        ready.reset();
        shooter.reset();
    }

    // The X11 grab delivers device pixels, a desktop split logical ones; either way the overlay crops
    // what was shown under the pointer.
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
        QCOMPARE(QGuiApplication::primaryScreen()->devicePixelRatio(), 2.0);
        const auto window = patternWindow(screenRect(), 2);
        if (direct) {
            window->show();
            QCOMPARE(grabShownPattern().value(0).pixmap.size(), screenRect().size() * 2);
        }
        QVERIFY(
            open(direct ? [] { return static_cast<ScreenGrabber*>(new ScreenGrabberLin(nullptr)); }
                        : GivenPictures::factory({pictureOf(screenRect(), QGuiApplication::primaryScreen())}),
                 1));
        QCOMPARE(overlay()->pictureScale(), qreal(factor));
        QCOMPARE(overlay()->geometry(), screenRect().adjusted(0, 0, -1, -1));
        // Drags over the logical rectangle (100, 50) to (299, 149); half way it shows in colour on grey.
        QTest::mousePress(overlay(), Qt::LeftButton, {}, QPoint(100, 50));
        dragTo(overlay(), QPoint(199, 99));
        const QImage shown = overlay()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const auto shownAt = [&](int x, int y) { return shown.pixel(2 * x, 2 * y); }; // device pixels
        const auto greyAt = [factor](int x, int y) {
            const QRgb p = patternAt(x * factor, y * factor);
            const int g = (11 * qRed(p) + 16 * qGreen(p) + 5 * qBlue(p)) / 32;
            return qRgb(g, g, g);
        };
        QCOMPARE(shownAt(150, 70), patternAt(150 * factor, 70 * factor)); // inside: colour
        QCOMPARE(shownAt(100, 70), qRgb(255, 0, 0));                      // outline
        for (const QPoint& p : {QPoint(250, 70), QPoint(0, 0), QPoint(900, 500)})
            QCOMPARE(shownAt(p.x(), p.y()), greyAt(p.x(), p.y())); // outside: grey
        dragTo(overlay(), QPoint(299, 149));
        QTest::mouseRelease(overlay(), Qt::LeftButton, {}, QPoint(299, 149));
        QCOMPARE(ready->count(), 1);
        const QPixmap crop = ready->at(0).at(0).value<QPixmap>();
        QCOMPARE(crop.size(), QSize(200, 100) * factor);
        QVERIFY(showsPattern(crop, QPoint(100, 50) * factor));
    }

    void closingOneOverlayClosesTheOthers()
    {
        const QRect screen = screenRect();
        QVERIFY(open(GivenPictures::factory({pictureOf({0, 0, 200, 200}), pictureOf({200, 0, 200, 200}),
                                             pictureOf({0, 200, screen.width(), screen.height() - 200})}),
                     3));
        // Once all three have drawn their pictures, the freeze is on show.
        QTRY_COMPARE(drawn->count(), 1);
        // Moved or resized, as a window manager might, an overlay returns to its screen.
        overlay(0)->move(5, 5);
        overlay(0)->resize(50, 50);
        QTRY_COMPARE(overlay(0)->geometry(), QRect(0, 0, 199, 199));
        overlay(1)->windowHandle()->close(); // as the window system would
        QTRY_VERIFY(shooter->overlays().isEmpty());
        QCOMPARE(ready->count(), 0);
    }

    void nothingGrabbedOpensNoOverlay()
    {
        QTest::ignoreMessage(QtWarningMsg,
                             "[ScreenShooter] No screen could be grabbed; the capture does not start");
        shooter = std::make_unique<ScreenShooter>(
            GivenPictures::factory({Screenshot{QGuiApplication::primaryScreen(), QPixmap(), screenRect()}}),
            nullptr);
        QSignalSpy grabbed(shooter->findChild<ScreenGrabber*>(), &ScreenGrabber::finished);
        shooter->makeScreenshot();
        QTRY_COMPARE(grabbed.count(), 1);
        QVERIFY(shooter->overlays().isEmpty());
        QVERIFY(!QApplication::activePopupWidget());
    }

    void desktopPictureIsCutAtEachScreen_data()
    {
        QTest::addColumn<QVector<QRect>>("screens");
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QVector<QPoint>>("origins"); // where each screen's part starts in the picture
        const auto row = [](const char* name, QVector<QRect> screens, QSize picture,
                            QVector<QPoint> origins) {
            QTest::newRow(name) << screens << picture << origins;
        };
        row("left of the origin", {{0, 0, 1920, 1080}, {-1280, 0, 1280, 1024}}, {3200, 1080},
            {{1280, 0}, {0, 0}});
        row("offset row", {{0, 200, 800, 600}, {800, 0, 1024, 768}}, {1824, 800}, {{0, 200}, {800, 0}});
    }

    void desktopPictureIsCutAtEachScreen()
    {
        QFETCH(QVector<QRect>, screens);
        QFETCH(QSize, picture);
        QFETCH(QVector<QPoint>, origins);
        const QList<QPixmap> parts = splitDesktopPicture(QPixmap::fromImage(pattern({{}, picture})), screens);
        QCOMPARE(parts.size(), screens.size());
        for (int i = 0; i < screens.size(); ++i) {
            QCOMPARE(parts.at(i).size(),
                     QRect(origins.at(i), screens.at(i).size()).intersected({{}, picture}).size());
            QVERIFY(showsPattern(parts.at(i), origins.at(i)));
        }
    }

    void scaledDesktopPictureKeepsItsProportions()
    {
        QCOMPARE(splitDesktopPicture(QPixmap::fromImage(pattern({0, 0, 1600, 1000})), {{0, 0, 800, 600}})
                     .at(0)
                     .size(),
                 QSize(800, 500));
        QVERIFY(splitDesktopPicture(QPixmap(), {{0, 0, 10, 10}}).at(0).isNull());
        // Without a picture or a screen width to measure by, the crop takes the screen's own ratio.
        QCOMPARE(pictureScale(QSize(), {0, 0, 1920, 1080}, 2.0), 2.0);
        QCOMPARE(pictureScale(QSize(10, 10), {0, 0, 0, 1080}, 2.0), 2.0);
    }

    void selectionIsCroppedAtThePicturesScale_data()
    {
        QTest::addColumn<QPoint>("start"); // widget pixels
        QTest::addColumn<QPoint>("end");
        QTest::addColumn<qreal>("scale");
        QTest::addColumn<QRect>("expected"); // in the 200 x 100 picture; null: no capture
        const auto row = [](const char* name, QPoint start, QPoint end, qreal scale, QRect expected) {
            QTest::newRow(name) << start << end << scale << expected;
        };
        row("five high, drawn upwards", {49, 4}, {0, 0}, 1, {});
        row("three pixels at scale 2", {2, 2}, {0, 0}, 2, {0, 0, 6, 6});
        row("half away from zero", {1, 3}, {5, 7}, 1.5, {2, 5, 7, 7});
        row("negative half away from zero", {-1, 0}, {2, 5}, 1.5, {0, 0, 5, 9});
        row("over the right edge", {180, 10}, {219, 19}, 1, {180, 10, 20, 10});
    }

    void selectionIsCroppedAtThePicturesScale()
    {
        QFETCH(QPoint, start);
        QFETCH(QPoint, end);
        QFETCH(qreal, scale);
        QFETCH(QRect, expected);
        const QPixmap picture = QPixmap::fromImage(pattern({0, 0, 200, 100}));
        const QPixmap crop = cropSelection(picture, selectionInPicture(start, end, scale));
        QCOMPARE(crop.size(), expected.isNull() ? QSize(0, 0) : expected.size());
        QVERIFY(showsPattern(crop, expected.topLeft()));
    }

    void grabberIsChosenByVariableThenSession_data()
    {
        QTest::addColumn<QString>("requested");
        QTest::addColumn<bool>("wayland");
        QTest::addColumn<bool>("gnome");
        QTest::addColumn<int>("gnomeVersion");
        QTest::addColumn<ScreenGrabberKind>("expected");
        const auto row = [](const char* name, const char* requested, bool wayland, bool gnome, int version,
                            ScreenGrabberKind expected) {
            QTest::newRow(name) << QString(requested) << wayland << gnome << version << expected;
        };
        row("x11 asked", "standard", true, true, 40, ScreenGrabberKind::X11);
        row("capital W falls back", "Wayland", false, false, -1, ScreenGrabberKind::X11);
        row("gnome 40", "", true, true, 40, ScreenGrabberKind::GnomeShell);
        row("gnome 41", "", true, true, 41, ScreenGrabberKind::Portal);
        row("gnome unknown", "", true, true, -1, ScreenGrabberKind::Portal);
    }

    void grabberIsChosenByVariableThenSession()
    {
        QFETCH(QString, requested);
        QFETCH(bool, wayland);
        QFETCH(bool, gnome);
        QFETCH(int, gnomeVersion);
        QFETCH(ScreenGrabberKind, expected);
        QCOMPARE(chooseScreenGrabber(requested, wayland, gnome, gnomeVersion), expected);
    }

    // From the request until the grab fails, brings nothing or runs out of time, or until the overlays have
    // gone: while it is under way the application starts no other capture, and once it is over it may. Its
    // pictures' memory is held for the next capture from the request on, and handed back after the capture.
    void captureIsUnderWayUntilItsEnd_data()
    {
        QTest::addColumn<QString>("outcome");
        QTest::newRow("overlays cancelled") << "overlays";
        QTest::newRow("nothing grabbed") << "nothing";
        QTest::newRow("grab failed") << "failed";
        QTest::newRow("grab never answered") << "silence";
    }
    void captureIsUnderWayUntilItsEnd()
    {
        QFETCH(QString, outcome);
        if (outcome == "nothing")
            QTest::ignoreMessage(QtWarningMsg,
                                 "[ScreenShooter] No screen could be grabbed; the capture does not start");
        if (outcome == "silence")
            QTest::ignoreMessage(
                QtWarningMsg, "[ScreenShooter] The screens were not grabbed within 50 ms; the capture ends");
        const QPixmap picture = outcome == "overlays" ? pictureOf(screenRect()).pixmap : QPixmap();
        const auto answer = outcome == "failed"    ? GivenPictures::Answer::Failure
                            : outcome == "silence" ? GivenPictures::Answer::Silence
                                                   : GivenPictures::Answer::Pictures;
        // The first grabber answers as the row says; the ones after it with a picture.
        int made = 0;
        const QList<Screenshot> shot{Screenshot{QGuiApplication::primaryScreen(), picture, screenRect()}};
        const QList<Screenshot> good{pictureOf(screenRect(), QGuiApplication::primaryScreen())};
        shooter = std::make_unique<ScreenShooter>(
            [&] {
                const bool first = made++ == 0;
                return new GivenPictures(first ? shot : good,
                                         first ? answer : GivenPictures::Answer::Pictures);
            },
            nullptr);
        shooter->setGrabLimit(50);
        shooter->memoryHold().setReleaseDelay(0);
        QSignalSpy failed(shooter.get(), &ScreenShooter::captureFailed);
        QVERIFY(!shooter->isCapturing());
        QVERIFY(!shooter->memoryHold().isHolding());
        shooter->makeScreenshot();
        QVERIFY(shooter->isCapturing());
        QVERIFY(shooter->memoryHold().isHolding());
        if (outcome == "overlays") {
            QTRY_VERIFY(overlaysExposed(*shooter, 1));
            QVERIFY(shooter->isCapturing());
            QTest::keyClick(overlay(), Qt::Key_Escape);
        }
        QTRY_VERIFY(!shooter->isCapturing());
        QTRY_VERIFY(!shooter->memoryHold().isHolding());
        QCOMPARE(failed.count(), outcome == "overlays" ? 0 : 1);
        // The next capture grabs again.
        if (outcome == "silence") {
            shooter->makeScreenshot();
            QTRY_VERIFY(overlaysExposed(*shooter, 1));
            QCOMPARE(failed.count(), 1);
        }
    }

    void newCaptureReplacesTheOpenOne()
    {
        QVERIFY(open(GivenPictures::factory({pictureOf(screenRect())}), 1));
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
