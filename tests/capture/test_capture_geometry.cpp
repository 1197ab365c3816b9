#include "capture/ScreenGrabber.h"
#include "capture/captureGeometry.h"
#include "capturePatterns.h"
#include "support/TestMain.h"

Q_DECLARE_METATYPE(ScreenGrabberKind)

using namespace utils::capture;
using capture_test::firstMismatch;
using capture_test::pattern;

class TestCaptureGeometry : public QObject
{
    Q_OBJECT

private slots:
    void desktopPictureIsCutAtEachScreen_data()
    {
        QTest::addColumn<QVector<QRect>>("screens");
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QVector<QPoint>>("origins"); // where each screen's part starts in the picture

        QTest::newRow("side by side") << QVector<QRect>{{0, 0, 1920, 1080}, {1920, 0, 1920, 1080}}
                                      << QSize(3840, 1080) << QVector<QPoint>{{0, 0}, {1920, 0}};
        QTest::newRow("different heights") << QVector<QRect>{{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}}
                                           << QSize(3200, 1080) << QVector<QPoint>{{0, 0}, {1920, 0}};
        QTest::newRow("stacked") << QVector<QRect>{{0, 0, 1280, 720}, {0, 720, 1280, 720}}
                                 << QSize(1280, 1440) << QVector<QPoint>{{0, 0}, {0, 720}};
        QTest::newRow("left of the origin") << QVector<QRect>{{0, 0, 1920, 1080}, {-1280, 0, 1280, 1024}}
                                            << QSize(3200, 1080) << QVector<QPoint>{{1280, 0}, {0, 0}};
        QTest::newRow("offset row") << QVector<QRect>{{0, 200, 800, 600}, {800, 0, 1024, 768}}
                                    << QSize(1824, 800) << QVector<QPoint>{{0, 200}, {800, 0}};
    }

    void desktopPictureIsCutAtEachScreen()
    {
        QFETCH(QVector<QRect>, screens);
        QFETCH(QSize, picture);
        QFETCH(QVector<QPoint>, origins);

        const QList<QPixmap> parts = splitDesktopPicture(QPixmap::fromImage(pattern(picture)), screens);
        QCOMPARE(parts.size(), screens.size());
        for (int i = 0; i < screens.size(); ++i) {
            const QRect visible = screens.at(i).translated(origins.at(i) - screens.at(i).topLeft());
            QCOMPARE(parts.at(i).size(), visible.intersected(QRect(QPoint(), picture)).size());
            QCOMPARE(firstMismatch(parts.at(i), origins.at(i)), QPoint(-1, -1));
        }
    }

    void scaledDesktopPictureIsShrunkToTheDesktopWidth()
    {
        // A desktop scaled by 2 delivers 7680 x 2160 for two logical 1920 x 1080 screens.
        QImage desktop(7680, 2160, QImage::Format_RGB32);
        desktop.fill(Qt::red);
        QPainter(&desktop).fillRect(3840, 0, 3840, 2160, Qt::blue);
        const auto parts =
            splitDesktopPicture(QPixmap::fromImage(desktop), {{0, 0, 1920, 1080}, {1920, 0, 1920, 1080}});
        QCOMPARE(parts.size(), 2);
        QCOMPARE(parts.at(0).size(), QSize(1920, 1080));
        QCOMPARE(parts.at(1).size(), QSize(1920, 1080));
        QCOMPARE(parts.at(0).toImage().pixelColor(960, 540), QColor(Qt::red));
        QCOMPARE(parts.at(1).toImage().pixelColor(1, 1), QColor(Qt::blue));
        // Shrinking keeps the picture's proportions, whatever the screens' height.
        QCOMPARE(
            splitDesktopPicture(QPixmap::fromImage(pattern({1600, 1000})), {{0, 0, 800, 600}}).at(0).size(),
            QSize(800, 500));
        QVERIFY(splitDesktopPicture(QPixmap(), {{0, 0, 10, 10}}).at(0).isNull());
        // Without a picture the crop falls back to the screen's own ratio.
        QCOMPARE(pictureScale(QSize(), {0, 0, 1920, 1080}, 2.0), 2.0);
    }

    void selectionIsScaledRoundedAndNormalised_data()
    {
        QTest::addColumn<QPoint>("start");
        QTest::addColumn<QPoint>("end");
        QTest::addColumn<qreal>("scale");
        QTest::addColumn<QRect>("expected");

        QTest::newRow("click") << QPoint(5, 5) << QPoint(5, 5) << 1.0 << QRect(5, 5, 1, 1);
        QTest::newRow("drag up and left") << QPoint(20, 30) << QPoint(10, 10) << 1.0 << QRect(10, 10, 11, 21);
        QTest::newRow("scale 2") << QPoint(10, 10) << QPoint(13, 13) << 2.0 << QRect(20, 20, 8, 8);
        QTest::newRow("three pixels at scale 2") << QPoint(0, 0) << QPoint(2, 2) << 2.0 << QRect(0, 0, 6, 6);
        QTest::newRow("half away from zero") << QPoint(1, 3) << QPoint(5, 7) << 1.5 << QRect(2, 5, 7, 7);
        QTest::newRow("negative half away from zero")
            << QPoint(-1, -3) << QPoint(5, 5) << 1.5 << QRect(QPoint(-2, -5), QPoint(8, 8));
    }

    void selectionIsScaledRoundedAndNormalised()
    {
        QFETCH(QPoint, start);
        QFETCH(QPoint, end);
        QFETCH(qreal, scale);
        QFETCH(QRect, expected);
        QCOMPARE(selectionInPicture(start, end, scale), expected);
    }

    void cropHonoursMinimumSizeAndPictureBounds_data()
    {
        QTest::addColumn<QRect>("selection");
        QTest::addColumn<QRect>("expected"); // null: no capture

        QTest::newRow("inside") << QRect(10, 20, 30, 40) << QRect(10, 20, 30, 40);
        QTest::newRow("smallest") << QRect(0, 0, 6, 6) << QRect(0, 0, 6, 6);
        QTest::newRow("five wide") << QRect(0, 0, 5, 50) << QRect();
        QTest::newRow("five high") << QRect(0, 0, 50, 5) << QRect();
        QTest::newRow("over the right edge") << QRect(180, 10, 40, 10) << QRect(180, 10, 20, 10);
        QTest::newRow("wholly outside") << QRect(300, 300, 40, 40) << QRect();
        QTest::newRow("clipped to one column") << QRect(199, 0, 10, 10) << QRect(199, 0, 1, 10);
    }

    void cropHonoursMinimumSizeAndPictureBounds()
    {
        QFETCH(QRect, selection);
        QFETCH(QRect, expected);
        const QPixmap picture = QPixmap::fromImage(pattern({200, 100}));
        const QPixmap crop = cropSelection(picture, selection);
        if (expected.isNull()) {
            QVERIFY(crop.isNull());
            return;
        }
        QCOMPARE(crop.size(), expected.size());
        QCOMPARE(firstMismatch(crop, expected.topLeft()), QPoint(-1, -1));
    }

    void greyCopyWeighsTheChannelsOnEveryRow()
    {
        // Rows are shared out among threads; an odd height must leave none unconverted.
        const QList<QRgb> pixels{qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(200, 100, 50)};
        const QList<int> expected{11 * 255 / 32, 16 * 255 / 32, 5 * 255 / 32,
                                  (11 * 200 + 16 * 100 + 5 * 50) / 32};
        QImage colour(4, 1001, QImage::Format_ARGB32);
        for (int y = 0; y < colour.height(); ++y)
            for (int x = 0; x < pixels.size(); ++x)
                colour.setPixel(x, y, pixels.at(x));
        const QImage grey = greyImage(colour);
        QCOMPARE(grey.size(), colour.size());
        for (int y = 0; y < grey.height(); ++y)
            for (int x = 0; x < expected.size(); ++x)
                QCOMPARE(grey.pixel(x, y), qRgb(expected.at(x), expected.at(x), expected.at(x)));
        QVERIFY(greyImage(QImage()).isNull());
    }

    void grabberIsChosenByVariableThenSession_data()
    {
        QTest::addColumn<QString>("requested");
        QTest::addColumn<bool>("wayland");
        QTest::addColumn<bool>("gnome");
        QTest::addColumn<int>("gnomeVersion");
        QTest::addColumn<ScreenGrabberKind>("expected");

        QTest::newRow("variable gnome")
            << "gnome-wayland" << false << false << -1 << ScreenGrabberKind::GnomeShell;
        QTest::newRow("variable kde") << "kde-wayland" << false << false << -1 << ScreenGrabberKind::KWin;
        QTest::newRow("variable portal") << "wayland" << false << false << -1 << ScreenGrabberKind::Portal;
        QTest::newRow("variable standard") << "standard" << true << true << 40 << ScreenGrabberKind::X11;
        QTest::newRow("capital W falls back") << "Wayland" << false << false << -1 << ScreenGrabberKind::X11;
        QTest::newRow("gnome 40") << "" << true << true << 40 << ScreenGrabberKind::GnomeShell;
        QTest::newRow("gnome 41") << "" << true << true << 41 << ScreenGrabberKind::Portal;
        QTest::newRow("gnome unknown") << "" << true << true << -1 << ScreenGrabberKind::Portal;
        QTest::newRow("kde wayland") << "" << true << false << -1 << ScreenGrabberKind::Portal;
        QTest::newRow("gnome on x11") << "" << false << true << 40 << ScreenGrabberKind::X11;
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
};

ZQ_TEST_MAIN(TestCaptureGeometry)
#include "test_capture_geometry.moc"
