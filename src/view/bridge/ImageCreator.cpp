#include "view/bridge/ImageCreator.h"

#include "core/images.h"
#include "core/ui/screens.h"
#include "view/bridge/WebViewWrapper.h"
#include "view/render/editorScripts.h"
#include "view/render/imageChunks.h"

#include <QDebug>
#include <QPainter>
#include <QTimer>
#include <QWebEngineView>

#include <new>
#include <stdexcept>

namespace {

// Beyond this a side is no picture anyone can use, and the sums below would overflow.
constexpr int kMaxContentSide = 1000000;
// Room around the page's measure of the content: 16 px a side and the body's margins.
constexpr int kExtraWidth = 2 * 16 + 10;
constexpr int kExtraHeight = 16;
static_assert(kExtraWidth >= imageChunks::kStampCells * imageChunks::kStampCellWidth,
              "the narrowest view has room for the frame stamp");
// The page takes no font larger than this.
constexpr double kMaxFontPx = 1000.0;
// A piece's frame is looked for about once a frame of a 60 Hz screen.
constexpr int kFramePollMs = 16;
// A page that has not shown a piece after this long is taken as stuck, whatever the load.
int frameTimeoutMs = 20000;

QColor renderBackground(const Preset& preset)
{
    // A transparent ground is made from the opposite of the text colour, then keyed out.
    if (preset.backgroundKind == Preset::Transparent)
        return preset.fontColor() == QColor(Qt::white) ? QColor(Qt::black) : QColor(Qt::white);
    return preset.backgroundColor();
}

// A preset read from damaged settings may hold sizes no image can have; those fall back to the default's.
Preset usable(Preset preset)
{
    const Preset fallback;
    if (preset.dpi <= 0)
        preset.dpi = fallback.dpi;
    if (preset.fontSize <= 0)
        preset.fontSize = fallback.fontSize;
    return preset;
}

} // namespace

ImageCreator::ImageCreator(const QUrl& url, QWidget* parent)
{
    if (!parent)
        throw std::runtime_error("[ImageCreator] Parent widget is null");
    view = new QWebEngineView(parent);
    view->setGeometry(5000, 0, 100, 100);
    wrapper = std::make_unique<WebViewWrapper>(view.data(), url, 0);
    // Off the screen, the view is shown only to lay out: its page loads for the first image asked for.
    wrapper->setLoadsWhenShown(false);
    // A child added to a shown parent stays hidden unless shown; a hidden view lays nothing out.
    view->show();
    connect(wrapper.get(), &WebViewWrapper::resultApplied, this, &ImageCreator::onResultApplied);
    frameTimer.setSingleShot(true);
    frameTimer.setInterval(kFramePollMs);
    connect(&frameTimer, &QTimer::timeout, this, &ImageCreator::grabChunk);
    // The view may die with the parent in the middle of a render: its steps stop there, and the
    // caller still waits for an answer.
    connect(view, &QObject::destroyed, this, [this] {
        pending = ImageRequest();
        if (!current.text.isEmpty())
            finish(QImage());
    });
}

ImageCreator::~ImageCreator()
{
    wrapper.reset();
    // No answer from a renderer that is being destroyed.
    if (view)
        disconnect(view, nullptr, this, nullptr);
    delete view.data();
}

int ImageCreator::frameTimeout()
{
    return frameTimeoutMs;
}

void ImageCreator::setFrameTimeoutForTesting(int ms)
{
    frameTimeoutMs = ms;
}

bool ImageCreator::create(const ImageRequest& request)
{
    // Without its view (gone with the parent) nothing could ever render.
    if (request.text.isEmpty() || !view)
        return false;
    cancelled = false;
    if (!current.text.isEmpty()) {
        pending = request;
        return true;
    }
    start(request);
    return true;
}

void ImageCreator::start(const ImageRequest& request)
{
    current = request;
    current.preset = usable(request.preset);
    contentSize = QSize();
    chunk = QRect(0, 0, 0, 0);
    const double fontPx = qMin(imageChunks::fontPixels(current.preset), kMaxFontPx);
    // The screen the window is on now: it may have moved since the view was made.
    const int width = imageChunks::layoutWidth(utils::screenGeometry(view->parentWidget()).width(), fontPx);
    view->resize(width, 50);
    wrapper->runJavaScript(editorScripts::layoutWidthScript(width), {});
    wrapper->setColors(current.preset.fontColor(), renderBackground(current.preset), fontPx);
    if (current.markdown)
        wrapper->setText(current.text, false);
    else
        wrapper->setLatex(current.text, false);
}

void ImageCreator::cancel()
{
    cancelled = true;
}

bool ImageCreator::checkCancelled()
{
    if (cancelled) {
        current = ImageRequest();
        pending = ImageRequest();
        finish(QImage());
        return true;
    }
    if (pending.text.isEmpty())
        return false;
    const ImageRequest next = pending;
    current = ImageRequest();
    pending = ImageRequest();
    pixmap = QPixmap();
    create(next);
    return true;
}

void ImageCreator::onResultApplied(ContentInfo info)
{
    if (current.text.isEmpty() || !view || checkCancelled())
        return;
    if (info.error || info.width > kMaxContentSide || info.height > kMaxContentSide) {
        finish(QImage());
        return;
    }
    contentSize = QSize(info.width + kExtraWidth, info.height + kExtraHeight);
    chunk = imageChunks::firstChunk(contentSize);
    contentSize = imageChunks::alignedToChunks(contentSize, chunk);
    try {
        pixmap = QPixmap(contentSize);
    } catch (const std::bad_alloc&) {
        pixmap = QPixmap();
    }
    if (pixmap.isNull()) {
        qWarning().noquote() << "[ImageCreator] No memory for an image of" << contentSize;
        finish(QImage());
        return;
    }
    pixmap.fill(renderBackground(current.preset));
    view->resize(chunk.width(), chunk.height() + imageChunks::kStampHeight);
    moveToChunk();
}

void ImageCreator::moveToChunk()
{
    stamp = (stamp + 1) % imageChunks::kStampNumbers;
    // One script, so that the page paints the moved content and its stamp in the same frame.
    wrapper->runJavaScript(
        editorScripts::chunkScript(chunk, contentSize.width()) +
            editorScripts::frameStampScript(imageChunks::stampCells(stamp),
                                            QSize(imageChunks::kStampCellWidth, imageChunks::kStampHeight),
                                            view->size()),
        {});
    frameWait.start();
    frameTimer.start();
}

void ImageCreator::grabChunk()
{
    if (current.text.isEmpty() || !view || checkCancelled())
        return;
    try {
        const QPixmap frame = view->grab();
        if (imageChunks::stampIn(frame.toImage(), chunk.height()) != stamp) {
            if (!frameWait.hasExpired(frameTimeoutMs)) {
                frameTimer.start();
                return;
            }
            // An older frame may show anything: no image rather than a wrong one.
            qWarning().noquote() << "[ImageCreator] The page showed no frame of the piece" << chunk
                                 << "within" << frameTimeoutMs << "ms";
            finish(QImage());
            return;
        }
        {
            QPainter painter(&pixmap);
            const qreal ratio = frame.devicePixelRatio();
            painter.drawPixmap(chunk, frame,
                               QRect(0, 0, qRound(chunk.width() * ratio), qRound(chunk.height() * ratio)));
        }
        chunk = imageChunks::nextChunk(chunk, contentSize);
        if (!chunk.isNull()) {
            moveToChunk();
            return;
        }
        wrapper->setColors(Qt::black, Qt::white, imageChunks::kPageFontPt);
        finish(finishedImage());
    } catch (const std::bad_alloc&) {
        finish(QImage());
    }
}

QImage ImageCreator::finishedImage()
{
    const Preset& preset = current.preset;
    const QImage rendered = pixmap.toImage();
    pixmap = QPixmap();
    QImage image;
    if (preset.backgroundKind != Preset::Transparent)
        image = utils::trimToContentOn(rendered, preset.backgroundColor());
    else if (renderBackground(preset) == QColor(Qt::black))
        // White text was rendered on black, where every pixel counts as dark: trim against the black.
        image = utils::backgroundToAlpha(utils::trimToContentOn(rendered, Qt::black), preset.fontColor());
    else
        image = utils::backgroundToAlpha(utils::trimToContent(rendered), preset.fontColor());
    if (image.isNull())
        return QImage();
    image.setDotsPerMeterX(imageChunks::dotsPerMeter(preset.dpi));
    image.setDotsPerMeterY(imageChunks::dotsPerMeter(preset.dpi));
    return image;
}

void ImageCreator::finish(const QImage& image)
{
    frameTimer.stop();
    current = ImageRequest();
    pixmap = QPixmap();
    emit imageReady(image);
}
