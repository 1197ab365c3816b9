#pragma once

#include <QRect>
#include <QRgb>
#include <QSize>
#include <QVector>

#include <optional>

class Preset;
class QImage;

// How a rendered content is cut into pieces that a web view can show one at a time, and the sizes the
// renderer derives from an image-export preset.
namespace imageChunks {

// The largest side of a piece, in pixels.
constexpr int kMaxChunkSide = 1000;
// The editor page's default font size in points: three quarters of its 16 px.
constexpr double kPageFontPt = 12.0;

// The piece at the top left: as wide as the content or an equal share of it, at most 1000 px a side.
QRect firstChunk(const QSize& content);
// The piece after `chunk`, row by row, left to right; a null rectangle after the last one.
QRect nextChunk(const QRect& chunk, const QSize& content);
// The content widened or narrowed to a whole number of piece widths when it spans several.
QSize alignedToChunks(const QSize& content, const QRect& first);

// A piece is shown in a view this many pixels taller than the piece. The rows below the piece carry a
// stamp the page paints in the same frame as the moved content, so a grab can tell whether the frame it
// got shows the piece or an older one.
constexpr int kStampHeight = 2;
// The width of one cell of the stamp; the stamp is kStampCells cells wide, at the view's left edge.
constexpr int kStampCellWidth = 2;
constexpr int kStampCells = 19;
// The numbers a stamp can show; a number beyond it shows as the number modulo kStampNumbers.
constexpr quint32 kStampNumbers = 1u << 24;

// The colours of the stamp's cells, left to right, for `number`.
QVector<QRgb> stampCells(quint32 number);
// The number shown by the stamp whose top row is at `top` in `frame`, in the frame's device-independent
// pixels; nothing when no stamp shows there.
std::optional<quint32> stampIn(const QImage& frame, int top);

// The page's font size in pixels for the preset's font size and resolution.
double fontPixels(const Preset& preset);
// The width of the view the text is laid out in: half the screen less 20 px, scaled from the page's
// default font to fontPx, plus 10 px; kept between 10 and 32767 px.
int layoutWidth(int screenWidth, double fontPx);
// The dots per metre of an image at the preset's resolution.
int dotsPerMeter(int dpi);

} // namespace imageChunks
