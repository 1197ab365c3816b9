// Feeds the image helpers arbitrary pictures, as the renderer and the image cache hand them over,
// and checks what every caller relies on: trims return the source or a part of it, and the ground
// conversion keeps the size and paints only in the chosen colour.

#include "core/images.h"

#include <QImage>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {
// The trims warn on every picture without content; thousands of lines a second would drown the run.
void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const auto previous = qInstallMessageHandler(quiet);
    Q_UNUSED(previous)
    if (size < 6)
        return 0;
    // Header: width, height, pixel format, and an opaque colour.
    const int width = data[0] % 48;
    const int height = data[1] % 48;
    const QImage::Format formats[] = {QImage::Format_RGB32, QImage::Format_ARGB32,
                                      QImage::Format_ARGB32_Premultiplied, QImage::Format_Grayscale8};
    const QImage::Format format = formats[data[2] % 4];
    const QColor color = (data[3] & 0x80) ? QColor(Qt::white) : QColor(data[3], data[4], data[5]);
    data += 6;
    size -= 6;

    QImage source(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < source.height(); ++y) { // none for an empty picture
        auto* line = reinterpret_cast<uchar*>(source.scanLine(y));
        const size_t bytes = size_t(width) * 4;
        const size_t offset = (size_t(y) * bytes) % (size + 1);
        const size_t available = size > offset ? std::min(bytes, size - offset) : 0;
        std::memset(line, 0xff, bytes);
        if (available)
            std::memcpy(line, data + offset, available);
    }
    source = source.convertToFormat(format);

    for (const QImage& trimmed : {utils::trimToContent(source), utils::trimToContentOn(source, color)}) {
        if (trimmed.size() == source.size())
            continue;
        if (trimmed.width() > source.width() - 2 || trimmed.height() > source.height() - 2 ||
            trimmed.isNull())
            std::abort();
    }

    const QImage alpha = utils::backgroundToAlpha(source, color);
    if (alpha.size() != source.size() || (!alpha.isNull() && alpha.format() != QImage::Format_ARGB32))
        std::abort();
    const QImage argb = source.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < alpha.height(); ++y) {
        for (int x = 0; x < alpha.width(); ++x) {
            const QRgb out = alpha.pixel(x, y);
            const bool sameColour = (out & 0xffffff) == (color.rgb() & 0xffffff);
            if (out != 0x00FFFFFFu && out != argb.pixel(x, y) && !sameColour)
                std::abort();
        }
    }
    return 0;
}
