#pragma once

#include <QList>
#include <QRect>
#include <QSize>

// The arithmetic of the main window's geometry, apart from the window it is applied to. Rectangles are in
// virtual-desktop coordinates.
namespace windowGeometry {

// The smallest window any page is fitted to.
constexpr int kMinimumWidth = 672;
constexpr int kMinimumHeight = 376;

// The first start's window on `screen`: half the screen's width, three quarters of its height, centred.
QRect firstRect(const QRect& screen);

// A stored rectangle that a window can take: not empty, and far from the ends of int, so that moving and
// sizing it cannot overflow.
bool isUsableStoredRect(const QRect& rect);

// The index of the screen that holds the largest part of `rect`, the first of equals; -1 when no screen
// holds any of it.
int screenHolding(const QRect& rect, const QList<QRect>& screens);

// `current` given the size `size` with its top edge and horizontal centre kept.
QRect recentred(const QRect& current, const QSize& size);

// `rect` moved onto `available` (its top at `top`, below the title bar), then cut to the screen, never
// below the minimum size.
QRect fitted(QRect rect, const QRect& available, int top);

// A window of `size` fills the screen's width or the height below the title bar.
bool fillsScreen(const QSize& size, const QRect& available, int top);

// `current` with its top-left kept, changed by the deltas, not below the minimum size.
QRect changedBy(const QRect& current, int deltaWidth, int deltaHeight);

// `current` adapted to the view page's content growing from `oldSize` to `newSize`: wider on both sides
// (at least to `minimumWidth` less 20), taller at the bottom, not below the minimum size.
QRect adaptedToContent(const QRect& current, const QSize& oldSize, const QSize& newSize, int minimumWidth);

// `size` scaled by the ratio of `newScreen` to `oldScreen`, each side truncated; unchanged when the old
// screen has no size.
QSize scaledToScreen(const QSize& size, const QSize& oldScreen, const QSize& newScreen);

} // namespace windowGeometry
