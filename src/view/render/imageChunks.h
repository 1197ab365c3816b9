#pragma once

#include <QRect>
#include <QSize>

class Preset;

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

// The page's font size in pixels for the preset's font size and resolution.
double fontPixels(const Preset& preset);
// The width of the view the text is laid out in: half the screen less 20 px, scaled from the page's
// default font to fontPx, plus 10 px; kept between 10 and 32767 px.
int layoutWidth(int screenWidth, double fontPx);
// The dots per metre of an image at the preset's resolution.
int dotsPerMeter(int dpi);

} // namespace imageChunks
