#pragma once

// What the application's tests on an X server of their own share: the application object, the balloons
// and windows on the screen, and another X client that types and drags.
#include "app/Application.h"
#include "capture/ScreenShooterDialog.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QWindow>

#include "support/Typist.h" // Xlib's macros go after Qt's headers
#include <xcb/xcb.h>
#undef Status
#undef KeyPress

#include <algorithm>

namespace zq::test {

inline Application& app()
{
    return *static_cast<Application*>(qApp);
}

inline QWidget* balloon()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->inherits("QBalloonTip") && widget->isVisible())
            return widget;
    return nullptr;
}

// Title and text of the balloon on screen.
inline QStringList balloonTexts()
{
    QStringList texts;
    if (QWidget* tip = balloon())
        for (const QLabel* label : tip->findChildren<QLabel*>())
            if (!label->text().isEmpty())
                texts << label->text();
    return texts;
}

inline QString balloonText()
{
    return balloonTexts().value(1);
}

inline void closeBalloon()
{
    if (QWidget* tip = balloon())
        tip->close();
}

inline QImage picture(const QIcon& icon)
{
    return icon.pixmap(32).toImage();
}

template <typename T> QList<T*> windowsOf()
{
    QList<T*> found;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<T*>(widget); window && window->isVisible())
            found << window;
    return found;
}

// Sees the raw key presses before the application's filters do, and lets them pass.
class KeyWatcher : public QAbstractNativeEventFilter
{
public:
    KeyWatcher() { qApp->installNativeEventFilter(this); }
    ~KeyWatcher() override { qApp->removeNativeEventFilter(this); }
    bool nativeEventFilter(const QByteArray&, void* message, long*) override
    {
        presses += (static_cast<xcb_generic_event_t*>(message)->response_type & ~0x80) == XCB_KEY_PRESS;
        return false;
    }
    int presses = 0;
};

inline bool overlaysShown()
{
    const auto overlays = app().screenShooter().overlays();
    return !overlays.isEmpty() && std::all_of(overlays.begin(), overlays.end(), [](QWidget* overlay) {
        return overlay->windowHandle() && overlay->windowHandle()->isExposed();
    });
}

// When a capture froze the screens, against when a widget of ours (the main window, the tray menu) left
// them: the capture waits the time a desktop takes to repaint what lay under it, however quickly the
// screens are grabbed.
class FreezeWatch : public QObject
{
public:
    FreezeWatch()
    {
        m_clock.start();
        connect(&app().screenShooter(), &ScreenShooter::overlaysDrawn, this,
                [this] { m_frozenAt = m_clock.nsecsElapsed(); });
    }
    void watchLeaving(QWidget* widget) { widget->installEventFilter(this); }
    bool frozenAfterTheDelay() const
    {
        return m_leftAt >= 0 && m_frozenAt >= 0 &&
               m_frozenAt - m_leftAt >= (Application::kCaptureDelayMs - 1) * 1000000LL;
    }
    QString describe() const
    {
        if (m_leftAt < 0 || m_frozenAt < 0)
            return QStringLiteral("left: %1, frozen: %2").arg(m_leftAt >= 0).arg(m_frozenAt >= 0);
        return QStringLiteral("frozen %1 ms after it left").arg((m_frozenAt - m_leftAt) / 1000000);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Hide && m_leftAt < 0)
            m_leftAt = m_clock.nsecsElapsed();
        return false;
    }

private:
    QElapsedTimer m_clock;
    qint64 m_leftAt = -1;
    qint64 m_frozenAt = -1;
};

} // namespace zq::test
