#include "view/render/imageChunks.h"

#include "core/Preset.h"

#include <QImage>
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

namespace {

// Three cells of pure red, green and blue open the stamp: a rendered text has one colour on one ground
// and the blends between them, so no piece of it can pass for a stamp.
const QRgb kMarkers[] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)};
constexpr int kMarkerCells = 3;
// Then the number, three bits a cell, each a colour channel fully on or off, then its complement.
constexpr int kNumberCells = (kStampCells - kMarkerCells) / 2;

QRgb cellOf(quint32 bits)
{
    return qRgb(bits & 4 ? 255 : 0, bits & 2 ? 255 : 0, bits & 1 ? 255 : 0);
}

// The cell's three bits, or nothing when a channel is neither clearly on nor clearly off.
std::optional<quint32> bitsOf(QRgb pixel)
{
    quint32 bits = 0;
    for (const int channel : {qRed(pixel), qGreen(pixel), qBlue(pixel)}) {
        if (channel > 63 && channel < 192)
            return std::nullopt;
        bits = bits << 1 | (channel >= 192 ? 1 : 0);
    }
    return bits;
}

} // namespace

QVector<QRgb> stampCells(quint32 number)
{
    static_assert(kStampNumbers == 1u << (3 * kNumberCells), "three bits a cell");
    QVector<QRgb> cells(std::begin(kMarkers), std::end(kMarkers));
    for (int i = kNumberCells - 1; i >= 0; --i)
        cells.append(cellOf(number >> (3 * i) & 7));
    for (int i = kNumberCells - 1; i >= 0; --i)
        cells.append(cellOf(~number >> (3 * i) & 7));
    return cells;
}

std::optional<quint32> stampIn(const QImage& frame, int top)
{
    // A frame of a scaled screen has more pixels than the page's: the middle of each cell is read.
    const qreal ratio = frame.devicePixelRatio();
    const int y = static_cast<int>((top + kStampHeight / 2.0) * ratio);
    quint32 number = 0;
    quint32 complement = 0;
    for (int cell = 0; cell < kStampCells; ++cell) {
        const int x = static_cast<int>((cell + 0.5) * kStampCellWidth * ratio);
        if (!frame.valid(x, y))
            return std::nullopt;
        const QRgb pixel = frame.pixel(x, y);
        if (cell < kMarkerCells) {
            if (bitsOf(pixel) != bitsOf(kMarkers[cell]))
                return std::nullopt;
            continue;
        }
        const std::optional<quint32> bits = bitsOf(pixel);
        if (!bits)
            return std::nullopt;
        quint32& target = cell < kMarkerCells + kNumberCells ? number : complement;
        target = target << 3 | *bits;
    }
    if ((number ^ complement) != kStampNumbers - 1)
        return std::nullopt;
    return number;
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
