#pragma once

// What the application's tests on an X server of their own share: the application object, the balloons
// and windows on the screen, and another X client that types and drags.
#include "app/Application.h"
#include "capture/ScreenShooterDialog.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QLabel>
#include <QWindow>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
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

// Another X client: types, drags, and holds keys as other programs do.
class Typist
{
public:
    Typist() : m_display(XOpenDisplay(nullptr)) {}
    ~Typist() { XCloseDisplay(m_display); }

    void type(const QList<KeySym>& keys)
    {
        for (KeySym key : keys)
            XTestFakeKeyEvent(m_display, code(key), True, CurrentTime);
        for (KeySym key : keys)
            XTestFakeKeyEvent(m_display, code(key), False, CurrentTime);
        XSync(m_display, False);
    }
    void hotkey() { type({XK_Control_L, XK_Alt_L, XK_m}); }
    void drag(QPoint from, QPoint to)
    {
        XTestFakeMotionEvent(m_display, -1, from.x(), from.y(), CurrentTime);
        XTestFakeButtonEvent(m_display, 1, True, CurrentTime);
        XTestFakeMotionEvent(m_display, -1, (from.x() + to.x()) / 2, (from.y() + to.y()) / 2, CurrentTime);
        XTestFakeMotionEvent(m_display, -1, to.x(), to.y(), CurrentTime);
        XTestFakeButtonEvent(m_display, 1, False, CurrentTime);
        XSync(m_display, False);
    }
    // Holds Ctrl+Alt+M as another program's hotkey, or lets it go.
    void holdHotkey(bool hold)
    {
        const Window root = DefaultRootWindow(m_display);
        if (hold)
            XGrabKey(m_display, code(XK_m), ControlMask | Mod1Mask, root, True, GrabModeAsync, GrabModeAsync);
        else
            XUngrabKey(m_display, code(XK_m), ControlMask | Mod1Mask, root);
        XSync(m_display, False);
    }

    // Whether this client could take Ctrl+Alt+M now: no other client holds it.
    bool hotkeyFree()
    {
        static bool refused;
        refused = false;
        const XErrorHandler previous = XSetErrorHandler([](Display*, XErrorEvent* error) {
            refused = refused || error->error_code == BadAccess;
            return 0;
        });
        holdHotkey(true);
        holdHotkey(false);
        XSetErrorHandler(previous);
        return !refused;
    }

private:
    KeyCode code(KeySym key) const { return XKeysymToKeycode(m_display, key); }
    Display* m_display;
};

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

} // namespace zq::test
