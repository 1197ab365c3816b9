#include "capture/captureGeometry.h"

#include <QImage>
#include <QtConcurrent>

#include <cmath>

namespace utils::capture {

QRect desktopRect(const QVector<QRect>& screenGeometries)
{
    QRect united;
    for (const QRect& geometry : screenGeometries)
        united = united.united(geometry);
    return united;
}

QList<QPixmap> splitDesktopPicture(const QPixmap& picture, const QVector<QRect>& screenGeometries)
{
    QList<QPixmap> pictures;
    const QRect desktop = desktopRect(screenGeometries);
    if (picture.isNull() || desktop.isEmpty()) {
        for (int i = 0; i < screenGeometries.size(); ++i)
            pictures.append(QPixmap());
        return pictures;
    }

    QPixmap scaled = picture;
    const double ratio = double(picture.width()) / desktop.width();
    if (!qFuzzyCompare(ratio, 1.0)) {
        const QSize size(int(std::lround(picture.width() / ratio)),
                         int(std::lround(picture.height() / ratio)));
        scaled = picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    scaled.setDevicePixelRatio(1.0);

    for (const QRect& geometry : screenGeometries) {
        if (screenGeometries.size() == 1)
            pictures.append(scaled);
        else
            pictures.append(scaled.copy(geometry.translated(-desktop.topLeft())));
    }
    return pictures;
}

qreal pictureScale(const QSize& pictureSize, const QRect& screenGeometry, qreal fallback)
{
    if (pictureSize.isEmpty() || screenGeometry.width() <= 0)
        return fallback;
    return qreal(pictureSize.width()) / screenGeometry.width();
}

QRect selectionInPicture(const QPoint& start, const QPoint& end, qreal scale)
{
    // Scaled as a rectangle, not as two corners: 3 x 3 widget pixels at scale 2 are 6 x 6 picture pixels.
    const QRect widget = QRect(start, end).normalized();
    const auto scaled = [scale](int v) { return int(std::lround(v * scale)); };
    return QRect(QPoint(scaled(widget.left()), scaled(widget.top())),
                 QPoint(scaled(widget.right() + 1) - 1, scaled(widget.bottom() + 1) - 1));
}

QPixmap cropSelection(const QPixmap& picture, const QRect& selection)
{
    if (selection.width() < kMinimumSelectionSize || selection.height() < kMinimumSelectionSize)
        return QPixmap();
    const QRect clipped = selection.intersected(QRect(QPoint(0, 0), picture.size()));
    // QPixmap::copy of an empty rectangle would hand back the whole picture.
    if (clipped.isEmpty())
        return QPixmap();
    QPixmap result = picture.copy(clipped);
    result.setDevicePixelRatio(1.0);
    return result;
}

QImage greyImage(const QImage& colour)
{
    if (colour.isNull())
        return QImage();
    const QImage source = colour.convertToFormat(QImage::Format_RGB32);
    QImage grey(source.size(), QImage::Format_RGB32);
    grey.setDevicePixelRatio(colour.devicePixelRatio());

    // Rows are independent; a 4K screen is converted on every core while the user waits.
    const int height = source.height();
    const int width = source.width();
    const qsizetype inStride = source.bytesPerLine();
    const qsizetype outStride = grey.bytesPerLine();
    const uchar* in = source.constBits();
    uchar* out = grey.bits(); // detaches once, before the threads share the buffer
    const int bands = qBound(1, QThread::idealThreadCount(), 16);
    QVector<QPair<int, int>> rows;
    for (int band = 0; band < bands; ++band)
        rows.append({height * band / bands, height * (band + 1) / bands});
    QtConcurrent::blockingMap(rows, [=](const QPair<int, int>& range) {
        for (int y = range.first; y < range.second; ++y) {
            const auto* from = reinterpret_cast<const QRgb*>(in + y * inStride);
            auto* to = reinterpret_cast<QRgb*>(out + y * outStride);
            for (int x = 0; x < width; ++x) {
                const QRgb p = from[x];
                const uint g = (11u * uint(qRed(p)) + 16u * uint(qGreen(p)) + 5u * uint(qBlue(p))) / 32u;
                to[x] = 0xff000000u | (g << 16) | (g << 8) | g;
            }
        }
    });
    return grey;
}

} // namespace utils::capture
