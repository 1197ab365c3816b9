#include "core/ui/MouseDragging.h"

#include <QMouseEvent>
#include <QWidget>

namespace {
// Manhattan distance from the press point before the window starts to follow.
constexpr int kDragThreshold = 6;
} // namespace

MouseDragging::MouseDragging(QWidget* window) : QObject(window), m_window(window)
{
    if (window)
        window->installEventFilter(this);
}

MouseDragging::~MouseDragging() = default;

bool MouseDragging::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window) {
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
    if (!m_window || event->button() != Qt::LeftButton)
        return;
    m_pressPos = event->globalPos();
    m_windowStartPos = m_window->pos();
}

void MouseDragging::onMouseMove(QMouseEvent* event)
{
    if (!m_window || !m_pressPos || !m_windowStartPos)
        return;
    const QPoint current = event->globalPos();
    if ((*m_pressPos - current).manhattanLength() >= kDragThreshold)
        m_window->move(*m_windowStartPos + (current - *m_pressPos));
}

void MouseDragging::onMouseRelease(QMouseEvent* event)
{
    if (!m_window || event->button() != Qt::LeftButton)
        return;
    m_pressPos.reset();
    m_windowStartPos.reset();
}
