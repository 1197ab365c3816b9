#include "support/TestMain.h"
#include "view/bridge/ImageCreator.h"
#include "view/render/imageChunks.h"

#include <QPainter>
#include <QScopeGuard>
#include <QWebEngineView>

namespace {

constexpr int kTimeoutMs = 60000;
const QUrl kPage(QStringLiteral("qrc:/html/zorvane_qelting_editor.html"));

Preset preset(int dpi, int fontKind = Preset::Black, int backgroundKind = Preset::Transparent)
{
    return Preset("test", 0, 12, dpi, fontKind, backgroundKind, QString());
}

// Many pieces at 600 dpi, so that a test can act while they are grabbed.
const ImageRequest kWide{QString("a+b+").repeated(24) + "c", false, preset(600)};
const ImageRequest kSmall{"\\frac{1}{x}", false, preset(96)};

} // namespace

Q_DECLARE_METATYPE(ImageRequest)

class TestImageCreator : public QObject
{
    Q_OBJECT

    QWidget parent;
    std::unique_ptr<ImageCreator> creator;
    QSize smallSize;

private slots:
    void initTestCase()
    {
        parent.show();
        creator = std::make_unique<ImageCreator>(kPage, &parent);
        QSignalSpy ready(creator.get(), &ImageCreator::imageReady);
        QVERIFY(creator->create(kSmall));
        QVERIFY(!creator->create({QString(), false, preset(96)})); // refused, and the render goes on
        QTRY_COMPARE_WITH_TIMEOUT(ready.count(), 1, kTimeoutMs);
        QVERIFY(!(smallSize = ready[0][0].value<QImage>().size()).isEmpty());
    }

    void contentIsCutIntoPieces_data()
    {
        QTest::addColumn<QSize>("content");
        QTest::addColumn<int>("pieces");
        QTest::addColumn<QRect>("last");
        QTest::newRow("one piece") << QSize(800, 600) << 1 << QRect(0, 0, 800, 600);
        QTest::newRow("three columns") << QSize(2500, 400) << 3 << QRect(1666, 0, 833, 400);
        QTest::newRow("three rows") << QSize(900, 2400) << 3 << QRect(0, 2000, 900, 1000);
    }

    void contentIsCutIntoPieces()
    {
        QFETCH(QSize, content);
        QFETCH(int, pieces);
        QFETCH(QRect, last);
        QRect chunk = imageChunks::firstChunk(content);
        const QSize aligned = imageChunks::alignedToChunks(content, chunk); // 2500 px become 3 x 833
        QVector<QRect> visited;
        for (; !chunk.isNull(); chunk = imageChunks::nextChunk(chunk, aligned))
            visited.append(chunk);
        QCOMPARE(visited.size(), pieces);
        QCOMPARE(visited.last(), last);
    }

    void resolutionBecomesDotsPerMeter_data()
    {
        QTest::addColumn<int>("dpi");
        QTest::addColumn<int>("dotsPerMeter");
        QTest::newRow("screen") << 96 << 3779;
        QTest::newRow("damaged preset") << std::numeric_limits<int>::max() << std::numeric_limits<int>::max();
    }

    void resolutionBecomesDotsPerMeter()
    {
        QFETCH(int, dpi);
        QTEST(imageChunks::dotsPerMeter(dpi), "dotsPerMeter");
    }

    void frameStampIsReadOnlyWhereItShows_data()
    {
        QTest::addColumn<QVector<QRgb>>("cells");
        QTest::addColumn<qreal>("ratio");
        QTest::addColumn<int>("number"); // -1: no stamp
        const QVector<QRgb> stamp = imageChunks::stampCells(0x5a3c96);
        QVector<QRgb> text = stamp; // a black-on-white text that happens to fall like a stamp
        for (QRgb& cell : text)
            cell = qRed(cell) ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
        QTest::newRow("stamp") << stamp << 1.0 << 0x5a3c96;
        QTest::newRow("stamp on a scaled screen") << imageChunks::stampCells(7) << 1.5 << 7;
        QTest::newRow("black and white text") << text << 1.0 << -1;
    }

    void frameStampIsReadOnlyWhereItShows()
    {
        QFETCH(QVector<QRgb>, cells);
        QFETCH(qreal, ratio);
        const int top = 30;
        const QSize size(imageChunks::kStampCells * imageChunks::kStampCellWidth,
                         top + imageChunks::kStampHeight);
        QImage frame(size * ratio, QImage::Format_RGB32);
        frame.setDevicePixelRatio(ratio);
        frame.fill(Qt::white);
        {
            QPainter painter(&frame);
            for (int i = 0; i < cells.size(); ++i)
                painter.fillRect(QRectF(i * imageChunks::kStampCellWidth, top, imageChunks::kStampCellWidth,
                                        imageChunks::kStampHeight),
                                 QColor(cells[i]));
        }
        const std::optional<quint32> number = imageChunks::stampIn(frame, top);
        QTEST(number ? int(*number) : -1, "number");
        QVERIFY(!imageChunks::stampIn(frame, top - imageChunks::kStampHeight)); // the rows above show none
    }

    void renderedImageFollowsThePreset_data()
    {
        QTest::addColumn<Preset>("preset");
        Preset custom = preset(150, Preset::Black, Preset::White);
        custom.setFontColor(QColor("#ffcc00"));
        custom.setBackgroundColor(QColor("#203040"));
        QTest::newRow("default") << Preset(); // 600 dpi: the formula takes two pieces
        QTest::newRow("white on transparent") << preset(96, Preset::White);
        QTest::newRow("custom colours") << custom;
    }

    // A fresh renderer each time: the preset's colours must hold from the very first image.
    void renderedImageFollowsThePreset()
    {
        QFETCH(Preset, preset);
        ImageCreator fresh(kPage, &parent);
        QSignalSpy ready(&fresh, &ImageCreator::imageReady);
        QVERIFY(fresh.create(
            {"\\int_0^1 x^2\\,dx = \\frac{1}{3} + \\sum_{k=1}^{n} k^3 - \\sqrt{y}", false, preset}));
        QTRY_COMPARE_WITH_TIMEOUT(ready.count(), 1, kTimeoutMs);
        const QImage image = ready[0][0].value<QImage>();
        const int dotsPerMeter = int(preset.dpi / 0.0254);
        QVERIFY(image.dotsPerMeterX() == dotsPerMeter && image.dotsPerMeterY() == dotsPerMeter);
        const bool transparent = preset.backgroundKind == Preset::Transparent;
        const QRgb ground = transparent ? 0x00ffffff : preset.backgroundColor().rgb();
        QCOMPARE(image.pixel(0, 0), ground); // text in the ground's colour would fill the image
        QRect content;                       // keyed out, the content is drawn in the font colour only
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb pixel = image.pixel(x, y);
                if (pixel != ground && (!transparent || qAlpha(pixel) > 4))
                    content |= QRect(x, y, 1, 1);
                if (transparent && pixel != ground)
                    QCOMPARE(pixel & 0xffffff, preset.fontColor().rgb() & 0xffffff);
            }
        }
        // The trims leave at most 10 px round the content, and a row or column more.
        const QRect inner = image.rect().adjusted(12, 12, -12, -12);
        QVERIFY(!inner.isEmpty() && content.contains(inner));
    }

    void eachImageShowsItsOwnText_data()
    {
        QTest::addColumn<ImageRequest>("first");
        QTest::addColumn<ImageRequest>("second");
        // The first text is not in the page's own colours, so that a frame from before it shows.
        const Preset white = preset(96, Preset::White);
        const QString sum = "\\sum_{k=1}^{n} k^3 + \\sqrt{y}";
        QTest::newRow("small after large")
            << ImageRequest{sum, false, white} << ImageRequest{"x", false, preset(96)};
        QTest::newRow("large after small")
            << ImageRequest{"y", false, white}
            << ImageRequest{"\\int_0^1 \\frac{x^2}{2}\\,dx", false, preset(96)};
        QTest::newRow("same size, other text")
            << ImageRequest{"a+b", false, white} << ImageRequest{"a-b", false, preset(96)};
        QTest::newRow("screen size after pieces") << ImageRequest{sum, false, preset(600, Preset::White)}
                                                  << ImageRequest{"\\frac{a}{b}", false, white};
    }

    // A fresh page, and each render starting the moment the one before has ended, while the page still
    // shows the old text: every image must be the one its own text gives alone.
    void eachImageShowsItsOwnText()
    {
        QFETCH(ImageRequest, first);
        QFETCH(ImageRequest, second);
        const ImageRequest requests[] = {first, second};
        QVector<QImage> alone;
        QSignalSpy ready(creator.get(), &ImageCreator::imageReady);
        for (const ImageRequest& request : requests) {
            QVERIFY(creator->create(request));
            QTRY_COMPARE_WITH_TIMEOUT(ready.count(), alone.size() + 1, kTimeoutMs);
            alone.append(ready.last()[0].value<QImage>());
            QVERIFY(!alone.last().isNull());
        }
        for (int round = 0; round < 3; ++round) {
            ImageCreator fresh(kPage, &parent);
            QSignalSpy images(&fresh, &ImageCreator::imageReady);
            connect(&fresh, &ImageCreator::imageReady, this, [&] {
                if (images.count() == 1)
                    fresh.create(second);
            });
            QVERIFY(fresh.create(first));
            QTRY_COMPARE_WITH_TIMEOUT(images.count(), 2, kTimeoutMs);
            QCOMPARE(images[0][0].value<QImage>(), alone[0]);
            QCOMPARE(images[1][0].value<QImage>(), alone[1]);
        }
    }

    void pageThatFailsToLoadGivesNullImages()
    {
        ImageCreator broken(QUrl("qrc:/html/missing.html"), &parent);
        QSignalSpy ready(&broken, &ImageCreator::imageReady);
        for (int expected : {1, 2}) { // given before and after the failed load
            QVERIFY(broken.create(kSmall));
            QTRY_COMPARE_WITH_TIMEOUT(ready.count(), expected, kTimeoutMs);
            QVERIFY(ready.last()[0].value<QImage>().isNull());
        }
    }

    // Content that shows without the mark of its frame is no proof of which frame it is from.
    void pageThatNeverShowsThePieceGivesNullImage()
    {
        QWidget owner;
        owner.show();
        ImageCreator stuck(kPage, &owner);
        QSignalSpy ready(&stuck, &ImageCreator::imageReady);
        QVERIFY(stuck.create(kSmall));
        QTRY_COMPARE_WITH_TIMEOUT(ready.count(), 1, kTimeoutMs);
        QVERIFY(!ready[0][0].value<QImage>().isNull());
        // Whatever the renderer adds to the page outside the body stays hidden; the content still shows.
        bool styled = false;
        owner.findChild<QWebEngineView*>()->page()->runJavaScript(
            "var s=document.createElement('style');s.textContent='html>:not(body){display:none!important}';"
            "document.head.appendChild(s);",
            [&styled](const QVariant&) { styled = true; });
        QTRY_VERIFY_WITH_TIMEOUT(styled, kTimeoutMs);
        const auto restore = qScopeGuard(
            [timeout = ImageCreator::frameTimeout()] { ImageCreator::setFrameTimeoutForTesting(timeout); });
        ImageCreator::setFrameTimeoutForTesting(1000);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^\\[ImageCreator\\] "));
        QVERIFY(stuck.create(kSmall));
        QTRY_COMPARE_WITH_TIMEOUT(ready.count(), 2, kTimeoutMs);
        QVERIFY(ready[1][0].value<QImage>().isNull());
    }

    void parentGoneMidRenderGivesNullImage_data()
    {
        QTest::addColumn<bool>("whileGrabbing");
        QTest::newRow("before the page's result") << false;
        QTest::newRow("while grabbing") << true;
    }

    // The view dies with its parent; the renderer outlives both and must still answer.
    void parentGoneMidRenderGivesNullImage()
    {
        QFETCH(bool, whileGrabbing);
        auto* owner = new QWidget;
        owner->show();
        ImageCreator orphan(kPage, owner);
        QSignalSpy ready(&orphan, &ImageCreator::imageReady);
        QVERIFY(orphan.create(kWide));
        if (whileGrabbing)
            QTRY_VERIFY_WITH_TIMEOUT(owner->findChild<QWebEngineView*>()->width() <= 1000, kTimeoutMs);
        delete owner;
        QTRY_COMPARE_WITH_TIMEOUT(ready.count(), 1, kTimeoutMs);
        QVERIFY(ready[0][0].value<QImage>().isNull() && !orphan.create(kSmall));
    }

    void destroyedRendererSendsNothing()
    {
        auto* doomed = new ImageCreator(kPage, &parent);
        QSignalSpy ready(doomed, &ImageCreator::imageReady);
        QVERIFY(doomed->create(kSmall));
        delete doomed;
        QCOMPARE(ready.count(), 0);
    }

    void laterRequestOrCancelEndsTheRunningRender_data()
    {
        QTest::addColumn<bool>("whileGrabbing");
        QTest::addColumn<bool>("cancel");
        QTest::newRow("replaced before the page's result") << false << false;
        QTest::newRow("replaced while grabbing") << true << false;
        QTest::newRow("cancelled before the page's result") << false << true;
        QTest::newRow("cancelled while grabbing") << true << true;
    }

    void laterRequestOrCancelEndsTheRunningRender()
    {
        QFETCH(bool, whileGrabbing);
        QFETCH(bool, cancel);
        QSignalSpy ready(creator.get(), &ImageCreator::imageReady);
        QVERIFY(creator->create(kWide));
        if (whileGrabbing) // the view has the size of a piece
            QTRY_VERIFY_WITH_TIMEOUT(parent.findChild<QWebEngineView*>()->width() <= 1000, kTimeoutMs);
        // On a loaded machine the wide render may have ended in the same turn of the loop that saw it
        // grabbing; then there is nothing left to replace or cancel, and its image stands.
        const int finished = ready.count();
        if (cancel && finished == 0) {
            creator->cancel();
            QTRY_COMPARE_WITH_TIMEOUT(ready.count(), 1, kTimeoutMs);
            QVERIFY(ready[0][0].value<QImage>().isNull());
        }
        const int before = ready.count();
        // The second small image comes after anything the wide render could still send.
        for (int expected : {1, 2}) {
            QVERIFY(creator->create(kSmall));
            QTRY_COMPARE_WITH_TIMEOUT(ready.count(), expected + before, kTimeoutMs);
            QCOMPARE(ready.last()[0].value<QImage>().size(), smallSize);
        }
    }
};

ZQ_TEST_MAIN(TestImageCreator)
#include "test_image_creator.moc"
