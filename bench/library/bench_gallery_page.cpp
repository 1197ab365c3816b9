// The gallery page over a large library whose images are all on disk: the time from showing the page
// to its first painted frame with cards, the time of one scroll step (a viewport height) across the
// whole list, and the resident memory after scrolling to the end and back, with the number of cards
// that still hold a decoded image. The baseline in the same run is a bare graphics view of as many
// plain cards, each showing one picture decoded once and shared: the same three figures, and each of the
// page's as a ratio to it. Usage: bench_gallery_page [qelts] (10,000 by default).

#include "library/ImageCache.h"
#include "library/QeltControllerSwitch.h"
#include "library/QeltImageRecord.h"
#include "library/QeltsController.h"
#include "library/gallery/QeltGraphicsItem.h"
#include "library/gallery/QeltListFrame.h"
#include "library/gallery/QeltsView.h"
#include "library/imageFiles.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QGraphicsPixmapItem>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QNetworkAccessManager>
#include <QPainter>
#include <QScrollBar>

#include <cstdio>

namespace {

constexpr double kFirstFrameGoalMs = 150;

long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

QByteArray samplePng()
{
    QImage image(300, 150, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(QFont(QStringLiteral("Sans"), 28));
    painter.drawText(image.rect(), Qt::AlignCenter, QStringLiteral("x^2 + y^2 = z^2"));
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// One PNG file per Qelt, named in the image index, so that the controller finds every image on disk.
void writeLibrary(int count, QeltsController& library)
{
    const QByteArray png = samplePng();
    QeltImageIndex index;
    std::vector<ZorvaneQeltPtr> qelts;
    for (int i = 0; i < count; ++i) {
        auto qelt =
            std::make_shared<ZorvaneQelt>(QStringLiteral("qelt%1").arg(i), 1700000000 + i, 1700000000 + i);
        qelt->latex = QStringLiteral("x^%1").arg(i);
        qelt->confidence = 0.9;
        qelt->renderedImageUrl = QStringLiteral("http://127.0.0.1:9/%1/rendered.png").arg(qelt->id);
        qelt->originalImageUrl = QStringLiteral("http://127.0.0.1:9/%1/original.png").arg(qelt->id);
        QFile file(utils::newImagePath());
        file.open(QIODevice::WriteOnly);
        file.write(png);
        QeltImageRecord record;
        record.renderedUrl = qelt->renderedImageUrl;
        record.originalUrl = qelt->originalImageUrl;
        record.renderedList = ImageEntry{file.fileName(), QSize(300, 150)};
        record.originalList = record.renderedList;
        index.insert(qelt->id, record);
        qelts.push_back(qelt);
    }
    QFile indexFile(QeltsImageController::indexFilePath());
    indexFile.open(QIODevice::WriteOnly);
    imageIndexFile::write(&indexFile, index);
    indexFile.close();
    library.imageController()->loadIndex();
    for (const ZorvaneQeltPtr& qelt : qelts)
        library.addQelt(qelt, false);
}

int cardsHoldingImages(const QeltListFrame& frame)
{
    int holding = 0;
    for (const QeltGraphicsItem* card : frame.cards())
        holding += !card->renderedRecord().image.isNull() || !card->originalRecord().image.isNull();
    return holding;
}

// Notes when the view's viewport has painted with cards in the scene.
class PaintWatch : public QObject
{
public:
    explicit PaintWatch(QeltListFrame& frame) : m_frame(frame) {}
    bool painted = false;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !m_frame.scene()->items().isEmpty())
            painted = true;
        return false;
    }

private:
    QeltListFrame& m_frame;
};

// The baseline: as many cards as the page has, three to a row, each a frame with the same picture.
struct BareGallery
{
    double firstFrameMs = 0;
    double scrollStepMs = 0;
    long residentKb = 0;
};

class BarePaintWatch : public QObject
{
public:
    bool painted = false;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        painted |= event->type() == QEvent::Paint;
        return false;
    }
};

BareGallery bareGallery(int count)
{
    BareGallery figures;
    const long before = residentKb();
    QElapsedTimer timer;
    timer.start();
    QPixmap picture;
    picture.loadFromData(samplePng(), "PNG");
    QGraphicsScene scene;
    for (int i = 0; i < count; ++i) {
        auto* card = scene.addRect(0, 0, 280, 170, QPen(Qt::lightGray), QBrush(Qt::white));
        card->setPos((i % 3) * 290, (i / 3) * 180);
        auto* image = new QGraphicsPixmapItem(picture, card);
        image->setPos(10, 10);
    }
    QGraphicsView view(&scene);
    BarePaintWatch watch;
    view.viewport()->installEventFilter(&watch);
    view.resize(900, 800);
    view.show();
    while (!watch.painted)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    figures.firstFrameMs = timer.nsecsElapsed() / 1e6;
    QScrollBar* bar = view.verticalScrollBar();
    int steps = 0;
    timer.restart();
    for (int value = 0; value < bar->maximum(); value += bar->pageStep(), ++steps) {
        bar->setValue(value + bar->pageStep());
        QCoreApplication::processEvents();
        view.viewport()->repaint();
    }
    figures.scrollStepMs = timer.nsecsElapsed() / 1e6 / std::max(1, steps);
    figures.residentKb = residentKb() - before;
    return figures;
}

double ratio(double value, double baseline)
{
    return baseline > 0 ? value / baseline : 0.0;
}

void settle()
{
    ImageCache::instance().waitForLoaders();
    QCoreApplication::processEvents();
}

} // namespace

int main(int argc, char* argv[])
{
    zq::test::prepareEnvironment();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    zq::test::prepareApplication();
    const int count = argc > 1 ? std::max(1, atoi(argv[1])) : 10000;

    QNetworkAccessManager manager;
    QeltsController library(nullptr, &manager);
    QeltsController results(nullptr, &manager);
    QeltControllerSwitch controllers(&library, &results);
    const BareGallery bare = bareGallery(count);
    std::printf("bare view of %d plain cards: first frame %.1f ms, scroll step %.2f ms, %+ld kB resident\n",
                count, bare.firstFrameMs, bare.scrollStepMs, bare.residentKb);
    QElapsedTimer timer;
    timer.start();
    writeLibrary(count, library);
    std::printf("library of %d Qelts with images on disk written in %.0f ms\n", count, timer.elapsed() * 1.0);
    const long rssBefore = residentKb();

    timer.restart();
    QeltListFrame frame(nullptr, &controllers);
    QeltsView* view = frame.findChild<QeltsView*>(QStringLiteral("qelts_view"));
    PaintWatch watch(frame);
    view->viewport()->installEventFilter(&watch);
    frame.resize(900, 800);
    frame.show();
    while (!watch.painted)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const double firstFrame = timer.nsecsElapsed() / 1e6;
    std::printf("show to first painted frame:     %8.1f ms (goal <= %.0f)%s, ratio to bare %.2f x\n",
                firstFrame, kFirstFrameGoalMs, firstFrame <= kFirstFrameGoalMs ? "" : "   ABOVE GOAL",
                ratio(firstFrame, bare.firstFrameMs));
    settle();
    view->viewport()->repaint();
    std::printf("first frame with images decoded: %8.1f ms\n", timer.nsecsElapsed() / 1e6);
    const long rssShown = residentKb();

    // Every step scrolls one viewport height, lets the page sort its cards out and paints.
    QScrollBar* bar = view->verticalScrollBar();
    int steps = 0;
    timer.restart();
    for (int value = 0; value < bar->maximum(); value += bar->pageStep(), ++steps) {
        bar->setValue(value + bar->pageStep());
        QCoreApplication::processEvents();
        view->viewport()->repaint();
    }
    const double down = timer.nsecsElapsed() / 1e6;
    settle();
    for (int value = bar->maximum(); value > 0; value -= bar->pageStep()) {
        bar->setValue(value - bar->pageStep());
        QCoreApplication::processEvents();
        view->viewport()->repaint();
    }
    settle();
    view->viewport()->repaint();
    settle();
    std::printf("scroll step (one viewport):      %8.2f ms over %d steps to the end, ratio to bare %.2f x\n",
                down / std::max(1, steps), steps, ratio(down / std::max(1, steps), bare.scrollStepMs));
    std::printf("cards in the scene: %d of %d; cards holding images: %d\n",
                int(frame.scene()->items().size()), count, cardsHoldingImages(frame));
    const long rssAfter = residentKb();
    std::printf("resident memory: %ld kB before the page, %ld kB shown, %ld kB after the end and back "
                "(%+.1f kB per Qelt for the page, ratio to bare %.2f x)\n",
                rssBefore, rssShown, rssAfter, (rssAfter - rssBefore) / double(count),
                ratio(rssAfter - rssBefore, bare.residentKb));
    return 0;
}
