#include "core/ui/FocusShadowDrawer.h"

#include <QKeyEvent>

namespace utils {

FocusShadowDrawer::FocusShadowDrawer(QWidget* target, QObject* parent, std::function<void()> callback)
    : QObject(parent), defaultColor(0, 147, 255), m_target(target), m_color(defaultColor),
      m_callback(std::move(callback))
{
}

FocusShadowDrawer::~FocusShadowDrawer() = default;

void FocusShadowDrawer::setColor(const QColor& newColor)
{
    if (newColor == m_color)
        return;
    m_color = newColor;
    if (m_effect)
        m_effect->setColor(m_color);
}

bool FocusShadowDrawer::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && m_callback)
            m_callback();
    }
    // The key still reaches the field.
    return QObject::eventFilter(watched, event);
}

} // namespace utils
