#include "view/window/windowGeometry.h"

#include <QtGlobal>

#include <algorithm>

namespace windowGeometry {

namespace {

// Far beyond any desktop, far from the ends of int.
constexpr int kFar = 1 << 20;

// A side length between the minimum and kFar, whatever the sum that asked for it.
int sideOf(qint64 wanted, int minimum)
{
    return int(std::clamp<qint64>(wanted, minimum, kFar));
}

// A change of a side or an edge, within what any desktop could use.
int deltaOf(qint64 wanted)
{
    return int(std::clamp<qint64>(wanted, -kFar, kFar));
}

} // namespace

QRect firstRect(const QRect& screen)
{
    const int width = screen.width() / 2;
    const int height = (screen.height() / 4) * 3;
    return QRect(screen.center().x() - screen.width() / 4, screen.center().y() - height / 2, width, height);
}

bool isUsableStoredRect(const QRect& rect)
{
    const auto near = [](int coordinate) { return coordinate > -kFar && coordinate < kFar; };
    return rect.isValid() && near(rect.left()) && near(rect.right()) && near(rect.top()) &&
           near(rect.bottom());
}

int screenHolding(const QRect& rect, const QList<QRect>& screens)
{
    int holding = -1;
    qint64 largest = 0;
    for (int i = 0; i < screens.size(); ++i) {
        const QRect shared = screens.at(i).intersected(rect);
        const qint64 area = qint64(shared.width()) * shared.height();
        if (area > largest) {
            largest = area;
            holding = i;
        }
    }
    return holding;
}

QRect recentred(const QRect& current, const QSize& size)
{
    const int half = deltaOf((qint64(size.width()) - current.width()) / 2);
    return QRect(QPoint(current.left() - half, current.top()),
                 QPoint(current.right() + half, current.top() + deltaOf(qint64(size.height()) - 1)));
}

QRect fitted(QRect rect, const QRect& available, int top)
{
    if (rect.right() > available.right())
        rect.moveRight(available.right());
    if (rect.left() < available.left())
        rect.moveLeft(available.left());
    if (rect.bottom() > available.bottom())
        rect.moveBottom(available.bottom());
    if (rect.top() < top)
        rect.moveTop(top);
    if (rect.right() > available.right())
        rect.setWidth(sideOf(qint64(available.right()) + 1 - rect.left(), kMinimumWidth));
    if (rect.bottom() > available.bottom())
        rect.setHeight(sideOf(qint64(available.bottom()) + 1 - rect.top(), kMinimumHeight));
    return rect;
}

bool fillsScreen(const QSize& size, const QRect& available, int top)
{
    return size.width() >= available.width() || size.height() >= available.bottom() + 1 - top;
}

QRect changedBy(const QRect& current, int deltaWidth, int deltaHeight)
{
    return QRect(current.topLeft(), QSize(sideOf(qint64(current.width()) + deltaWidth, kMinimumWidth),
                                          sideOf(qint64(current.height()) + deltaHeight, kMinimumHeight)));
}

QRect adaptedToContent(const QRect& current, const QSize& oldSize, const QSize& newSize, int minimumWidth)
{
    const int deltaWidth =
        deltaOf(std::max<qint64>(newSize.width(), qint64(minimumWidth) - 20) - oldSize.width());
    const int deltaHeight = deltaOf(qint64(newSize.height()) - oldSize.height());
    QRect rect = current.adjusted(-(deltaWidth / 2), 0, deltaWidth / 2, deltaHeight);
    if (rect.height() < kMinimumHeight)
        rect.setHeight(kMinimumHeight);
    if (rect.width() < kMinimumWidth)
        rect.setWidth(kMinimumWidth);
    return rect;
}

QSize scaledToScreen(const QSize& size, const QSize& oldScreen, const QSize& newScreen)
{
    if (oldScreen.width() <= 0 || oldScreen.height() <= 0)
        return size;
    return QSize(int(qint64(size.width()) * newScreen.width() / oldScreen.width()),
                 int(qint64(size.height()) * newScreen.height() / oldScreen.height()));
}

} // namespace windowGeometry
