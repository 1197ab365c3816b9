#include "core/ui/widgets.h"
#include "library/ImageCache.h"
#include "library/gallery/AnimationSet.h"
#include "library/gallery/DeletionAnimation.h"
#include "library/gallery/QSearchInput.h"
#include "library/gallery/QeltGraphicsItem.h"
#include "library/gallery/SceneRectAnimation.h"
#include "library/imageFiles.h"
#include "support/TestMain.h"

#include <QGraphicsScene>
#include <QGraphicsView>
#include <QMouseEvent>
#include <QPainter>
#include <QTemporaryDir>

namespace {

QStringList g_calls; // the callbacks the cards made, in order

std::unique_ptr<QeltGraphicsItem> makeCard()
{
    galleryCardWidth = 300;
    const auto note = [](const char* name) { return [name](QeltGraphicsItem*) { g_calls << name; }; };
    return std::make_unique<QeltGraphicsItem>(nullptr, note("click"), note("open"), note("delete"),
                                              std::make_shared<ZorvaneQelt>(QStringLiteral("q1"), 2, 1));
}

// A pointer event on the view's viewport at a point of the scene, as the window system delivers it.
void point(QGraphicsView& view, QEvent::Type type, QPointF at)
{
    const QPoint local = view.mapFromScene(at);
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, local, view.viewport()->mapToGlobal(local), button,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &event);
}

// A picture record the card can draw at once: decoded already, and usable only with a size and a file.
ListItemRecord pictureRecord(bool usable, const QColor& color)
{
    QImage image(284, 134, QImage::Format_RGB32);
    image.fill(color);
    return usable ? ListItemRecord{"u", image.size(), "/nowhere/card.png", image}
                  : ListItemRecord{"u", QSize(-1, -1), QString(), image};
}

} // namespace

// The card's drawing and pointer handling, the animation set's ticks and the search box's typing pause.
class TestGalleryParts : public QObject
{
    Q_OBJECT

private slots:
    void ageReadsInTheLargestUnit_data()
    {
        QTest::addColumn<qint64>("elapsed");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QColor>("color");
        const QColor dark(0x0F, 0x0F, 0x0F), grey(0x83, 0x83, 0x8B);
        QTest::newRow("created in the future") << qint64(-5) << "a moment ago" << dark;
        QTest::newRow("59 s") << qint64(59) << "a moment ago" << dark;
        QTest::newRow("60 s") << qint64(60) << "1 minute ago" << grey;
        QTest::newRow("7200 s") << qint64(7200) << "2 hours ago" << grey;
        QTest::newRow("30 days") << qint64(2592000) << "1 month ago" << grey;
        QTest::newRow("400 days") << qint64(400 * 86400) << "13 months ago" << grey;
    }

    void ageReadsInTheLargestUnit()
    {
        QFETCH(qint64, elapsed);
        QFETCH(QString, text);
        QFETCH(QColor, color);
        const auto [shown, shownColor] = QeltGraphicsItem::relativeTime(1700000000, 1700000000 + elapsed);
        QCOMPARE(shown, text);
        QCOMPARE(shownColor, color);
        QVERIFY(!QeltGraphicsItem::relativeTime(0, 1700000000).second.isValid());
    }

    void confidenceBarFillsItsShare_data()
    {
        QTest::addColumn<double>("confidence");
        QTest::addColumn<int>("unfilled"); // -1: no bar at all
        QTest::newRow("full") << 1.0 << 0;
        QTest::newRow("0.9 leaves 3 px") << 0.9 << 3;
        QTest::newRow("zero shows only the track") << 0.0 << 35;
        QTest::newRow("none") << -1.0 << -1;
    }

    void confidenceBarFillsItsShare()
    {
        QFETCH(double, confidence);
        QFETCH(int, unfilled);
        auto card = makeCard();
        card->setConfidence(confidence);
        QImage image(300, 190, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        card->paint(&painter, nullptr, nullptr);
        painter.end();
        QFont font = QApplication::font();
        font.setPixelSize(16);
        const int row = QFontMetrics(font).height(); // the bar's middle row
        // The white outline that rounds the bar's ends blends into the outer two columns.
        for (int i = 2; i < 33; ++i) {
            const QColor pixel = image.pixelColor(195 + i, row);
            const QColor expected = unfilled < 0         ? QColor(Qt::white)
                                    : i >= 35 - unfilled ? QColor(0xE8, 0xE8, 0xEE)
                                                         : utils::confidenceColor(confidence);
            QVERIFY2(pixel == expected, qPrintable(QString("column %1: %2").arg(i).arg(pixel.name())));
        }
    }

    void releaseCallsOnlyWhatWasPressed_data()
    {
        QTest::addColumn<QPointF>("hover");
        QTest::addColumn<QPointF>("press");
        QTest::addColumn<QPointF>("release");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("body") << QPointF(100, 100) << QPointF(100, 100) << QPointF(120, 90)
                              << QStringList{"click"};
        QTest::newRow("released outside")
            << QPointF(100, 100) << QPointF(100, 100) << QPointF(100, 400) << QStringList{};
        QTest::newRow("delete button")
            << QPointF(275, 15) << QPointF(275, 15) << QPointF(275, 15) << QStringList{"delete"};
        QTest::newRow("open button") << QPointF(245, 15) << QPointF(245, 15) << QPointF(245, 15)
                                     << QStringList{"open"};
        QTest::newRow("over the delete button, then pressed on the body")
            << QPointF(275, 15) << QPointF(100, 100) << QPointF(100, 100) << QStringList{"click"};
        QTest::newRow("from delete button to body")
            << QPointF(275, 15) << QPointF(275, 15) << QPointF(100, 100) << QStringList{};
    }

    void releaseCallsOnlyWhatWasPressed()
    {
        QFETCH(QPointF, hover);
        QFETCH(QPointF, press);
        QFETCH(QPointF, release);
        QFETCH(QStringList, calls);
        g_calls.clear();
        QGraphicsScene scene(0, 0, 300, 450);
        auto card = makeCard();
        card->setViewMode(1);
        scene.addItem(card.get());
        // Through a view, as the user's pointer comes: a card that takes no hover never sees the pointer
        // over its buttons.
        QGraphicsView view(&scene);
        view.setFrameShape(QFrame::NoFrame);
        view.resize(320, 470);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view, zq::test::kWaitMs));
        point(view, QEvent::MouseMove, hover);
        point(view, QEvent::MouseButtonPress, press);
        for (int i = 0; i < 2; ++i) // the second release, without a press, calls nothing more
            point(view, QEvent::MouseButtonRelease, release);
        QCOMPARE(g_calls, calls);
        scene.removeItem(card.get());
    }

    void cardShowsItsPictures_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("renderedUsable");
        QTest::addColumn<bool>("originalUsable");
        QTest::addColumn<QString>("top"); // the upper picture's middle: "rendered", "original" or "neither"
        QTest::addColumn<QString>("bottom"); // the lower one's, in the mode showing both
        using M = QeltGraphicsItem::ViewMode;
        QTest::newRow("rendered") << int(M::Rendered) << true << true << "rendered"
                                  << "";
        QTest::newRow("original") << int(M::Original) << true << true << "original"
                                  << "";
        QTest::newRow("both") << int(M::Both) << true << true << "original"
                              << "rendered";
        QTest::newRow("both, only the rendered usable") << int(M::Both) << true << false << "neither"
                                                        << "rendered";
        QTest::newRow("both, only the original usable") << int(M::Both) << false << true << "original"
                                                        << "neither";
        QTest::newRow("rendered, not usable") << int(M::Rendered) << false << true << "neither"
                                              << "";
    }

    void cardShowsItsPictures()
    {
        QFETCH(int, mode);
        QFETCH(bool, renderedUsable);
        QFETCH(bool, originalUsable);
        QFETCH(QString, top);
        QFETCH(QString, bottom);
        const QColor rendered(Qt::red), original(Qt::blue);
        auto card = makeCard();
        card->setViewMode(mode);
        card->setRenderedRecord(pictureRecord(renderedUsable, rendered));
        card->setOriginalRecord(pictureRecord(originalUsable, original));
        QImage image(card->boundingRect().size().toSize(), QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        card->paint(&painter, nullptr, nullptr);
        painter.end();
        // Each picture sits in a band half as high as the card is wide, below the 40 px header.
        const auto shown = [&](int band) {
            const QColor pixel = image.pixelColor(150, 40 + 75 + band * 148);
            return pixel == rendered ? "rendered" : pixel == original ? "original" : "neither";
        };
        QCOMPARE(shown(0), top);
        if (!bottom.isEmpty())
            QCOMPARE(shown(1), bottom);
    }

    void replacedImageLeavesTheCache()
    {
        QTemporaryDir dir;
        ListItemRecord record{"u", QSize(4, 4), dir.filePath("a.png"), QImage()};
        QVERIFY(QImage(4, 4, QImage::Format_RGB32).save(record.path));
        auto card = makeCard();
        card->setRenderedRecord(record);
        ImageCache::instance().get(record.path, "q1");
        ImageCache::instance().waitForLoaders();
        card->setRenderedRecord(ListItemRecord()); // a new address: the old picture must not stay decoded
        QVERIFY(ImageCache::instance().get(record.path, "q1").isNull());
        ImageCache::instance().waitForLoaders();
    }

    void animationSetFadesThenFinishesInOrder()
    {
        std::vector<std::unique_ptr<QeltGraphicsItem>> items;
        QStringList finished;
        AnimationSet set;
        for (int i = 0; i < 3; ++i) {
            items.push_back(makeCard());
            set.add(std::make_unique<DeletionAnimation>(
                items.back().get(), [&finished, i](QeltGraphicsItem*) { finished << QString::number(i); }));
        }
        set.add(std::make_unique<SceneRectAnimation>([&finished] { finished << "scene"; }));
        for (int tick = 0; tick < AnimationSet::kTicks - 1; ++tick) {
            QVERIFY(!set.tick());
            for (const auto& item : items)
                QCOMPARE(item->opacity(), 1.0 - tick / 60.0);
        }
        QVERIFY(finished.isEmpty());
        QVERIFY(set.tick());
        QCOMPARE(finished, QStringList({"0", "1", "2", "scene"}));
        QCOMPARE(items.front()->opacity(), 1.0 / 60.0); // never drawn fully transparent
    }

    // Steps: text to type, "<" a left arrow, "\b" a backspace, "\r" Return, "0" clearing the box, "~N"
    // waiting for the Nth search. A final "!" and its search must come after every expected one.
    void searchWaitsForATypingPause_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("searches");
        QTest::newRow("typing quickly") << QStringList{"abc", "~1"} << QStringList{"abc"};
        QTest::newRow("retyping the searched text")
            << QStringList{"abc", "~1", "\b", "c"} << QStringList{"abc"};
        QTest::newRow("arrow keys") << QStringList{"abc", "~1", "<"} << QStringList{"abc"};
        QTest::newRow("return, then its release")
            << QStringList{"abc", "\r", "~2"} << QStringList{"abc", "abc"};
        QTest::newRow("cleared, then the same text")
            << QStringList{"abc", "~1", "0", "abc", "~2"} << QStringList{"abc", "abc"};
        QTest::newRow("empty box") << QStringList{"a", "\b"} << QStringList{};
    }

    void searchWaitsForATypingPause()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, searches);
        QSearchInput input;
        QSignalSpy spy(&input, &QSearchInput::DoSearch);
        for (const QString& step : steps << "!") {
            if (step.startsWith('~'))
                QTRY_COMPARE(spy.count(), step.mid(1).toInt());
            else if (step == "<")
                QTest::keyClick(&input, Qt::Key_Left);
            else if (step == "0")
                input.clear();
            else
                QTest::keyClicks(&input, step);
        }
        QTRY_COMPARE(spy.count(), searches.size() + 1);
        QStringList made;
        for (const QList<QVariant>& call : qAsConst(spy))
            made << call.at(0).toString();
        QCOMPARE(made, searches << input.text());
    }
};

ZQ_TEST_MAIN(TestGalleryParts)
#include "test_gallery_parts.moc"
