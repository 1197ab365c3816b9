#include "core/images.h"

#include <QDebug>
#include <QIODevice>
#include <QRect>

#include <algorithm>

namespace utils {

namespace {

// Weighted sum of red, green and blue (alpha ignored); grey level is this divided by 32.
int weightedSum(QRgb pixel)
{
    return 11 * qRed(pixel) + 16 * qGreen(pixel) + 5 * qBlue(pixel);
}

int greyLevel(QRgb pixel)
{
    return weightedSum(pixel) >> 5;
}

// Finds the content box with the scans every trim shares: top and bottom on every second row,
// left on every column, right on every second column, each stopping at its first content pixel.
// The outermost row and column always fall away (clamps 1 and size - 2).
template <typename IsContent> QImage trim(const QImage& source, int margin, IsContent isContent)
{
    const QImage image = source.format() == QImage::Format_ARGB32 || source.format() == QImage::Format_RGB32
                             ? source
                             : source.convertToFormat(QImage::Format_ARGB32);
    const int w = image.width();
    const int h = image.height();
    auto rowHasContent = [&](int y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        return std::any_of(line, line + w, isContent);
    };
    auto columnHasContent = [&](int x) {
        for (int y = 0; y < h; ++y) {
            if (isContent(reinterpret_cast<const QRgb*>(image.constScanLine(y))[x]))
                return true;
        }
        return false;
    };

    int top = -1;
    for (int y = 0; y < h; y += 2) {
        if (rowHasContent(y)) {
            top = std::max(y - margin, 1);
            break;
        }
    }
    if (top < 0) {
        qWarning() << "Up border not found";
        return source;
    }
    int bottom = -1;
    for (int y = h - 1; y >= 0 && bottom < 0; y -= 2) {
        if (rowHasContent(y))
            bottom = std::min(y + margin, h - 2); // -1 on a one-row picture: keep looking, finds nothing
    }
    if (bottom < 0) {
        qWarning() << "Down border not found";
        return source;
    }
    int left = -1;
    for (int x = 0; x < w; ++x) {
        if (columnHasContent(x)) {
            left = std::max(x - margin, 1);
            break;
        }
    }
    if (left < 0) {
        qWarning() << "Left border not found";
        return source;
    }
    int right = -1;
    for (int x = w - 1; x >= 0 && right < 0; x -= 2) {
        if (columnHasContent(x))
            right = std::min(x + margin, w - 2);
    }
    if (right < 0) {
        qWarning() << "Right border not found";
        return source;
    }

    // A two-row or two-column picture clamps to a crop of height or width 0, which a proper
    // containment test still accepts; cutting that would turn a picture into nothing.
    const QRect crop(QPoint(left, top), QPoint(right, bottom));
    if (crop.isEmpty() || !source.rect().contains(crop, true))
        return source;
    return source.copy(crop);
}

} // namespace

QRegion roundedRegion(const QSize& size, int radius)
{
    const int w = size.width();
    const int h = size.height();
    const int r = radius;
    QRegion region(0, 0, w, h);
    const QPoint corners[] = {{0, 0}, {w - r, 0}, {w - r, h - r}, {0, h - r}};
    const QPoint ellipses[] = {{0, 0}, {w - 2 * r, 0}, {w - 2 * r, h - 2 * r}, {0, h - 2 * r}};
    for (int i = 0; i < 4; ++i) {
        const QRegion square(QRect(corners[i], QSize(r, r)));
        const QRegion ellipse(QRect(ellipses[i], QSize(2 * r, 2 * r)), QRegion::Ellipse);
        region -= square - ellipse;
    }
    return region;
}

QByteArray readAll(QIODevice* device)
{
    if (!device || !device->isOpen())
        return {};
    return device->readAll();
}

QImage backgroundToAlpha(const QImage& source, const QColor& color)
{
    QImage result(source.size(), QImage::Format_ARGB32);
    if (result.isNull())
        return result;
    result.fill(Qt::transparent);

    const QImage image = source.format() == QImage::Format_ARGB32 || source.format() == QImage::Format_RGB32
                             ? source
                             : source.convertToFormat(QImage::Format_ARGB32);
    const bool onWhite = color == QColor(Qt::white);
    const QRgb ground = onWhite ? 0xFF000000u : 0xFFFFFFFFu;
    const QRgb c = color.rgb();
    const int gc = greyLevel(c);
    const int red = color.red();
    const int green = color.green();
    const int blue = color.blue();
    // Row by row: every pixel is computed on its own, so the order does not change the result.
    for (int y = 0; y < image.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        auto* out = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = in[x];
            if (p == ground) {
                out[x] = 0x00FFFFFFu;
            } else if (p == c) {
                out[x] = p;
            } else {
                const int g = greyLevel(p);
                // On white a lighter pixel is more opaque and wraps like the stored pictures expect.
                // On any other colour a pixel darker than the colour is simply fully opaque: the
                // plain difference would wrap to nearly transparent and punch holes in the glyphs.
                const int alpha = onWhite ? ((g - gc) & 0xff) : std::min(255 - g + gc, 255);
                out[x] = qRgba(red, green, blue, alpha);
            }
        }
    }
    return result;
}

QImage trimToContent(const QImage& source)
{
    return trim(source, 10, [](QRgb pixel) { return weightedSum(pixel) < 8032; });
}

QImage trimToContentOn(const QImage& source, const QColor& background)
{
    const QRgb ground = background.rgb();
    return trim(source, 5, [ground](QRgb pixel) { return pixel != ground; });
}

} // namespace utils
