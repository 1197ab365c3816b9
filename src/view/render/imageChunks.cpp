#include "view/render/imageChunks.h"

#include "core/Preset.h"

#include <QtGlobal>

#include <cmath>
#include <limits>

namespace imageChunks {

QRect firstChunk(const QSize& content)
{
    int width = content.width();
    if (width > kMaxChunkSide) {
        const int pieces = static_cast<int>(std::ceil(width / double(kMaxChunkSide)));
        if (pieces >= 2)
            width /= pieces;
    }
    return QRect(0, 0, width, qMin(content.height(), kMaxChunkSide));
}

QRect nextChunk(const QRect& chunk, const QSize& content)
{
    if (chunk.width() <= 0 || chunk.height() <= 0)
        return QRect();
    if (chunk.right() + 1 < content.width())
        return chunk.translated(chunk.width(), 0);
    if (chunk.bottom() + 1 < content.height())
        return QRect(0, chunk.bottom() + 1, chunk.width(), chunk.height());
    return QRect();
}

QSize alignedToChunks(const QSize& content, const QRect& first)
{
    if (first.width() <= 0)
        return content;
    const int columns = content.width() / first.width();
    return columns > 1 ? QSize(first.width() * columns, content.height()) : content;
}

double fontPixels(const Preset& preset)
{
    return preset.dpi / 96.0 * preset.fontSize * 0.95;
}

int layoutWidth(int screenWidth, double fontPx)
{
    // A window side beyond 32767 px is more than X can make.
    const double width = (screenWidth / 2 - 20) * (fontPx / kPageFontPt) + 10;
    return static_cast<int>(qBound(10.0, width, 32767.0));
}

int dotsPerMeter(int dpi)
{
    // A damaged preset's resolution must not overflow the conversion.
    return static_cast<int>(qMin(dpi / 0.0254, double(std::numeric_limits<int>::max())));
}

} // namespace imageChunks
