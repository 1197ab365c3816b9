#pragma once

#include "view/render/ContentInfo.h"
#include "view/render/ImageRequest.h"

#include <QImage>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QUrl>

#include <memory>

class QWebEngineView;
class QWidget;
class WebViewWrapper;

// Renders a LaTeX or Markdown text to an image at the values of an image-export preset, in a web view
// of its own that lies outside its parent's visible area. The view shows at most 1000 x 1000 px at a
// time, so the content is shown and grabbed piece by piece into one picture.
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

signals:
    // The finished image, or a null image after an error or a cancel.
    void imageReady(QImage image);

private:
    void onResultApplied(ContentInfo info);
    void start(const ImageRequest& request);
    bool checkCancelled();
    void moveToChunk();
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
    QRect screenRect;
};
