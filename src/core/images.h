#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QRegion>
#include <QSize>

class QIODevice;

namespace utils {

// The rectangle (0, 0, size) with its four corners rounded by radius.
QRegion roundedRegion(const QSize& size, int radius);

// The whole content of an open device; empty, without touching it, when the device is closed.
QByteArray readAll(QIODevice* device);

// The picture in one colour on a transparent ground: the ground (white, or black when the colour is
// white) becomes transparent and every other pixel takes the colour with an alpha from its darkness.
QImage backgroundToAlpha(const QImage& source, const QColor& color);

// The picture cut down to its dark content plus a 10 px margin; the source when no content is found.
QImage trimToContent(const QImage& source);

// The picture cut down to what differs from the background plus a 5 px margin.
QImage trimToContentOn(const QImage& source, const QColor& background);

} // namespace utils
