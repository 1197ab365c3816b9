#pragma once

#include "core/shortcuts.h"

#include <QObject>
#include <QTimer>

// Polls the keys held on the X server while the shortcut recorder listens, and reports each change of
// the held combination. Does nothing off X11 (Wayland without XWayland, the offscreen platform): key
// events are then the recorder's only source.
class KeyboardPoller : public QObject
{
    Q_OBJECT

public:
    static constexpr int kDefaultIntervalMs = 40;

    explicit KeyboardPoller(QObject* parent = nullptr);

    // Whether polling can work here at all.
    static bool isAvailable();
    // The digit or capital letter on the key of a key event's native scan code (its X keycode), whatever
    // the modifiers made of it; 0 off X11 or for any other key.
    static int baseKeyOfScanCode(quint32 scanCode);

    void setInterval(int ms) { m_timer.setInterval(ms); }
    void start();
    void stop();
    bool isActive() const { return m_timer.isActive(); }

signals:
    // The held combination changed; none when everything was released.
    void held(utils::shortcuts::Shortcut combination);

private:
    void poll();

    QTimer m_timer;
    utils::shortcuts::Shortcut m_last;
};
