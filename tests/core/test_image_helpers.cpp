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
        const QImage indexed = source.convertToFormat(QImage::Format_Indexed8);
        QCOMPARE(utils::trimToContent(indexed).size(), QSize(22, 22));
        const QImage premultiplied = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QCOMPARE(utils::trimToContentOn(premultiplied, Qt::white).size(), QSize(12, 12));
    }

    void backgroundToAlphaOnBlack()
    {
        QImage source(3, 1, QImage::Format_ARGB32);
        source.setPixel(0, 0, 0xFF000000);
        source.setPixel(1, 0, 0xFFFFFFFF);
        source.setPixel(2, 0, qRgb(128, 128, 128));
        const QImage result = utils::backgroundToAlpha(source, Qt::black);
        QCOMPARE(result.format(), QImage::Format_ARGB32);
        QCOMPARE(result.pixel(0, 0), 0xFF000000u);
        QCOMPARE(result.pixel(1, 0), 0x00FFFFFFu);
        QCOMPARE(result.pixel(2, 0), qRgba(0, 0, 0, 127));
    }

    void backgroundToAlphaOnWhiteKeepsItsWrap()
    {
        QImage source(3, 1, QImage::Format_ARGB32);
        source.setPixel(0, 0, 0xFF000000);
        source.setPixel(1, 0, 0xFFFFFFFF);
        source.setPixel(2, 0, qRgb(200, 200, 200));
        const QImage result = utils::backgroundToAlpha(source, Qt::white);
        QCOMPARE(result.pixel(0, 0), 0x00FFFFFFu);
        QCOMPARE(result.pixel(1, 0), 0xFFFFFFFFu);
        QCOMPARE(result.pixel(2, 0), qRgba(255, 255, 255, 201)); // 200 - 255 modulo 256
    }

    void backgroundToAlphaKeepsGlyphsDarkerThanACustomColourOpaque()
    {
        // Text rendered in black and recoloured to red: every dark pixel must stay solid, the
        // anti-aliased edge pixels get partial alpha that grows with their darkness.
        const QColor red(0xd0, 0x20, 0x20);
        QImage source(4, 1, QImage::Format_RGB32);
        source.setPixel(0, 0, qRgb(0, 0, 0));
        source.setPixel(1, 0, qRgb(10, 10, 10));
        source.setPixel(2, 0, qRgb(180, 180, 180));
        source.setPixel(3, 0, qRgb(230, 230, 230));
        const QImage result = utils::backgroundToAlpha(source, red);
        QCOMPARE(qAlpha(result.pixel(0, 0)), 255);
        QCOMPARE(qAlpha(result.pixel(1, 0)), 255);
        QVERIFY(qAlpha(result.pixel(2, 0)) > qAlpha(result.pixel(3, 0)));
        QCOMPARE(qRed(result.pixel(2, 0)), red.red());
        QCOMPARE(qGreen(result.pixel(2, 0)), red.green());
    }

    void backgroundToAlphaOfAnEmptyPictureIsNull()
    {
        QVERIFY(utils::backgroundToAlpha(QImage(), Qt::black).isNull());
    }

    void roundedRegionCutsOnlyTheCorners()
    {
        const QRegion whole = utils::roundedRegion(QSize(40, 30), 0);
        QCOMPARE(whole, QRegion(0, 0, 40, 30));
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
