#include "support/TestMain.h"

#include "core/images.h"

#include <QBuffer>
#include <QPainter>

namespace {

QImage whiteWithBlock(int width, int height, const QRect& block, const QColor& color = Qt::black)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.fillRect(block, color);
    return image;
}

} // namespace

class TestImageHelpers : public QObject
{
    Q_OBJECT

private slots:
    void trimsKeepTheMarginAroundTheContent_data()
    {
        QTest::addColumn<QImage>("source");
        QTest::addColumn<QRect>("dark");
        QTest::addColumn<QRect>("onWhite");
        const QImage block = whiteWithBlock(100, 100, QRect(40, 40, 3, 3));
        QTest::newRow("3x3 block") << block << QRect(30, 30, 22, 22) << QRect(35, 35, 12, 12);
        // Content on the first and last rows and columns: clamps 1 and size - 2, never 0.
        QImage frame = whiteWithBlock(60, 40, QRect(0, 0, 60, 40));
        QPainter(&frame).fillRect(QRect(1, 1, 58, 38), Qt::white);
        QTest::newRow("edges") << frame << QRect(QPoint(1, 1), QPoint(58, 38))
                               << QRect(QPoint(1, 1), QPoint(58, 38));
        // A 2 x 2 picture clamps to an empty crop: the whole source comes back, without a warning.
        const QImage small = whiteWithBlock(2, 2, QRect(0, 0, 2, 2));
        QTest::newRow("too small to crop") << small << small.rect() << small.rect();
        // Two rows: the crop would have height 0; the picture must not come back empty.
        const QImage twoRows = whiteWithBlock(15, 2, QRect(0, 0, 15, 2));
        QTest::newRow("two rows") << twoRows << twoRows.rect() << twoRows.rect();
        const QImage twoColumns = whiteWithBlock(2, 15, QRect(0, 0, 2, 15));
        QTest::newRow("two columns") << twoColumns << twoColumns.rect() << twoColumns.rect();
    }

    void trimsKeepTheMarginAroundTheContent()
    {
        QFETCH(QImage, source);
        QFETCH(QRect, dark);
        QFETCH(QRect, onWhite);
        const QImage trimmed = utils::trimToContent(source);
        QCOMPARE(trimmed, source.copy(dark));
        QCOMPARE(utils::trimToContentOn(source, Qt::white), source.copy(onWhite));
    }

    void trimReportsTheFirstBorderItCannotFind_data()
    {
        QTest::addColumn<QImage>("source");
        QTest::addColumn<QString>("warning");
        QTest::newRow("blank") << whiteWithBlock(50, 50, QRect()) << "Up border not found";
        QTest::newRow("empty") << QImage() << "Up border not found";
        // The bottom scan visits only the odd rows 99, 97, ... 1.
        QTest::newRow("one dot on an even row")
            << whiteWithBlock(100, 100, QRect(50, 50, 1, 1)) << "Down border not found";
        QTest::newRow("one row") << whiteWithBlock(30, 1, QRect(0, 0, 30, 1)) << "Down border not found";
        // The right scan visits only every second column from the right: 9, 7, ... 1.
        QTest::newRow("one column on an even x")
            << whiteWithBlock(10, 10, QRect(4, 0, 1, 10)) << "Right border not found";
    }

    void trimReportsTheFirstBorderItCannotFind()
    {
        QFETCH(QImage, source);
        QFETCH(QString, warning);
        QTest::ignoreMessage(QtWarningMsg, qPrintable(warning));
        QCOMPARE(utils::trimToContent(source), source);
        QTest::ignoreMessage(QtWarningMsg, qPrintable(warning));
        QCOMPARE(utils::trimToContentOn(source, Qt::white), source);
    }

    void trimAcceptsEveryPixelFormat()
    {
        const QImage source = whiteWithBlock(100, 100, QRect(40, 40, 3, 3));
        QCOMPARE(utils::trimToContent(source.convertToFormat(QImage::Format_Indexed8)).size(), QSize(22, 22));
        QCOMPARE(
            utils::trimToContentOn(source.convertToFormat(QImage::Format_ARGB32_Premultiplied), Qt::white)
                .size(),
            QSize(12, 12));
    }

    void backgroundToAlpha_data()
    {
        QTest::addColumn<QList<uint>>("source");
        QTest::addColumn<QColor>("color");
        QTest::addColumn<QList<uint>>("expected");
        QTest::newRow("on black") << QList<uint>{0xFF000000, 0xFFFFFFFF, qRgb(128, 128, 128)}
                                  << QColor(Qt::black)
                                  << QList<uint>{0xFF000000, 0x00FFFFFF, qRgba(0, 0, 0, 127)};
        // White text goes on a black ground; 200 - 255 wraps modulo 256.
        QTest::newRow("white wraps") << QList<uint>{0xFF000000, 0xFFFFFFFF, qRgb(200, 200, 200)}
                                     << QColor(Qt::white)
                                     << QList<uint>{0x00FFFFFF, 0xFFFFFFFF, qRgba(255, 255, 255, 201)};
        // Text rendered in black and recoloured: dark pixels stay solid, edges get alpha by darkness.
        QTest::newRow("custom colour")
            << QList<uint>{qRgb(0, 0, 0), qRgb(10, 10, 10), qRgb(180, 180, 180)} << QColor(0xd0, 0x20, 0x20)
            << QList<uint>{qRgba(0xd0, 0x20, 0x20, 255), qRgba(0xd0, 0x20, 0x20, 255),
                           qRgba(0xd0, 0x20, 0x20, 167)};
    }

    void backgroundToAlpha()
    {
        QFETCH(QList<uint>, source);
        QFETCH(QColor, color);
        QFETCH(QList<uint>, expected);
        QImage image(source.size(), 1, QImage::Format_RGB32);
        for (int x = 0; x < source.size(); ++x)
            image.setPixel(x, 0, source.at(x));
        const QImage result = utils::backgroundToAlpha(image, color);
        QCOMPARE(result.format(), QImage::Format_ARGB32);
        QList<uint> actual;
        for (int x = 0; x < result.width(); ++x)
            actual << result.pixel(x, 0);
        QCOMPARE(actual, expected);
        QVERIFY(utils::backgroundToAlpha(QImage(), color).isNull());
    }

    void roundedRegionCutsOnlyTheCorners()
    {
        QCOMPARE(utils::roundedRegion(QSize(40, 30), 0), QRegion(0, 0, 40, 30));
        const QRegion rounded = utils::roundedRegion(QSize(40, 30), 8);
        QCOMPARE(rounded.boundingRect(), QRect(0, 0, 40, 30));
        for (const QPoint& corner : {QPoint(0, 0), QPoint(39, 0), QPoint(39, 29), QPoint(0, 29)})
            QVERIFY(!rounded.contains(corner));
        for (const QPoint& inside :
             {QPoint(20, 0), QPoint(0, 15), QPoint(39, 15), QPoint(20, 29), QPoint(4, 4)})
            QVERIFY(rounded.contains(inside));
    }

    void readAllLeavesAClosedDeviceAlone()
    {
        QByteArray data("payload");
        QBuffer buffer(&data);
        QCOMPARE(utils::readAll(&buffer), QByteArray());
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        QCOMPARE(utils::readAll(&buffer), data);
    }
};

ZQ_TEST_MAIN(TestImageHelpers)
#include "test_image_helpers.moc"
