#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

// The windows in which the user may be at work, for the idle gate: a dialog counts while it exists (they
// are deleted on close), a window that lives on hidden (the main window) while it is visible.
class BusyWindows
{
public:
    void addWhileOpen(QWidget* window);
    void addWhileVisible(QWidget* window);
    bool any() const;

private:
    QList<QPointer<QWidget>> m_open;
    QList<QPointer<QWidget>> m_visible;
};
