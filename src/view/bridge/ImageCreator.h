#pragma once

#include "view/render/ContentInfo.h"
#include "view/render/ImageRequest.h"

#include <QElapsedTimer>
#include <QImage>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QTimer>
#include <QUrl>

#include <memory>

class QWebEngineView;
class QWidget;
class WebViewWrapper;

// Renders a LaTeX or Markdown text to an image at the values of an image-export preset, in a web view
// of its own that lies outside its parent's visible area. The view shows at most 1000 x 1000 px at a
// time, so the content is shown and grabbed piece by piece into one picture. A piece is taken from the
// first frame the page shows it in, told by a stamp the page paints with it.
class ImageCreator : public QObject
{
    Q_OBJECT

public:
    // Throws std::runtime_error when parent is null.
    ImageCreator(const QUrl& url, QWidget* parent);
    ~ImageCreator() override;

    // Starts a render, or makes the request the one that waits; false for an empty text, or when the
    // view has gone with its parent.
    bool create(const ImageRequest& request);
    // The render under way ends at its next step with a null image; a waiting request is dropped.
    void cancel();
    bool isCancelled() const { return cancelled; }

    // How long a piece may take to show before the render ends with a null image; a test shortens it.
    static int frameTimeout();
    static void setFrameTimeoutForTesting(int ms);

signals:
    // The finished image, or a null image after an error or a cancel.
    void imageReady(QImage image);

private:
    void onResultApplied(ContentInfo info);
    void start(const ImageRequest& request);
    bool checkCancelled();
    void moveToChunk();
    // Looks at the view's latest frame: takes the piece when it shows, else looks again shortly.
    void grabChunk();
    QImage finishedImage();
    void finish(const QImage& image);

    QPointer<QWebEngineView> view;
    std::unique_ptr<WebViewWrapper> wrapper;
    ImageRequest current;
    ImageRequest pending;
    bool cancelled = false;
    QPixmap pixmap;
    QSize contentSize;
    QRect chunk{0, 0, 0, 0};
    // The stamp the current piece is shown with, and the wait for a frame that shows it.
    quint32 stamp = 0;
    QTimer frameTimer;
    QElapsedTimer frameWait;
};
