#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QSize>

namespace zq::test {

// A picture of one colour encoded as PNG, as the service's image addresses serve it.
inline QByteArray png(const QSize& size, Qt::GlobalColor colour = Qt::darkCyan)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

inline QByteArray png(int width, int height)
{
    return png(QSize(width, height));
}

} // namespace zq::test
