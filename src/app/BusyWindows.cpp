#include "app/BusyWindows.h"

#include <algorithm>

void BusyWindows::addWhileOpen(QWidget* window)
{
    m_open.removeAll(nullptr);
    if (window)
        m_open.append(window);
}

void BusyWindows::addWhileVisible(QWidget* window)
{
    m_visible.removeAll(nullptr);
    if (window)
        m_visible.append(window);
}

bool BusyWindows::any() const
{
    const auto open = [](const QPointer<QWidget>& window) { return !window.isNull(); };
    const auto visible = [](const QPointer<QWidget>& window) { return window && window->isVisible(); };
    return std::any_of(m_open.cbegin(), m_open.cend(), open) ||
           std::any_of(m_visible.cbegin(), m_visible.cend(), visible);
}
