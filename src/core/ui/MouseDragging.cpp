#include "core/ui/MouseDragging.h"

#include <QMouseEvent>
#include <QWidget>

namespace {
// Manhattan distance from the press point before the window starts to follow.
constexpr int kDragThreshold = 6;
} // namespace

MouseDragging::MouseDragging(QWidget* window) : QObject(window), window(window)
{
    if (window)
        window->installEventFilter(this);
}

MouseDragging::~MouseDragging() = default;

bool MouseDragging::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == window) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            onMousePress(static_cast<QMouseEvent*>(event));
            break;
        case QEvent::MouseMove:
            onMouseMove(static_cast<QMouseEvent*>(event));
            break;
        case QEvent::MouseButtonRelease:
            onMouseRelease(static_cast<QMouseEvent*>(event));
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void MouseDragging::onMousePress(QMouseEvent* event)
{
    if (!window || event->button() != Qt::LeftButton)
        return;
    pressPos = event->globalPos();
    windowStartPos = window->pos();
}

void MouseDragging::onMouseMove(QMouseEvent* event)
{
    if (!window || !pressPos || !windowStartPos)
        return;
    const QPoint current = event->globalPos();
    if ((*pressPos - current).manhattanLength() >= kDragThreshold)
        window->move(*windowStartPos + (current - *pressPos));
}

void MouseDragging::onMouseRelease(QMouseEvent* event)
{
    if (!window || event->button() != Qt::LeftButton)
        return;
    pressPos.reset();
    windowStartPos.reset();
}
