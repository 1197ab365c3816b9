#pragma once

#include <QList>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QVector>

// The arithmetic of a capture, kept apart from QScreen so that any desktop layout can be checked.
namespace utils::capture {

// The smallest selection, in picture pixels, that counts as a capture on both axes.
constexpr int kMinimumSelectionSize = 6;

// The rectangle that the given screens span together.
QRect desktopRect(const QVector<QRect>& screenGeometries);

// Cuts a picture of the whole desktop into one picture per screen geometry, in logical pixels.
// A picture larger than the desktop (a scaled desktop) is first scaled down to the desktop's width.
// A single screen gets the whole picture; a null picture gives null pictures.
QList<QPixmap> splitDesktopPicture(const QPixmap& picture, const QVector<QRect>& screenGeometries);

// Picture pixels per widget pixel of an overlay showing picture over screenGeometry. Pictures come in
// logical pixels from a desktop split and in device pixels from a direct grab, so the factor is
// measured rather than taken from the screen; fallback is used when there is nothing to measure.
qreal pictureScale(const QSize& pictureSize, const QRect& screenGeometry, qreal fallback);

// The selection between two widget points (both inside it) in picture pixels, its edges scaled and
// rounded half away from zero. Not clipped.
QRect selectionInPicture(const QPoint& start, const QPoint& end, qreal scale);

// The selected part of the picture: null when the selection is smaller than the minimum on either
// axis or lies wholly outside the picture.
QPixmap cropSelection(const QPixmap& picture, const QRect& selection);

// Grey copy for the frozen overlay: grey = (11 R + 16 G + 5 B) / 32, opaque.
QImage greyImage(const QImage& colour);

} // namespace utils::capture
