#pragma once

// Link X11::Xtst where this is used.
#include <QList>
#include <QPoint>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

// Another X client: types, drags, and holds keys as other programs do.
class Typist
{
public:
    Typist() : m_display(XOpenDisplay(nullptr)) {}
    ~Typist()
    {
        if (m_display)
            XCloseDisplay(m_display);
    }
    Typist(const Typist&) = delete;
    Typist& operator=(const Typist&) = delete;
    bool ok() const { return m_display != nullptr; }

    void type(const QList<KeySym>& keys)
    {
        for (KeySym key : keys)
            XTestFakeKeyEvent(m_display, code(key), True, CurrentTime);
        for (KeySym key : keys)
            XTestFakeKeyEvent(m_display, code(key), False, CurrentTime);
        XSync(m_display, False);
    }
    void hotkey() { type({XK_Control_L, XK_Alt_L, XK_m}); }
    // Presses the keys and keeps them down: the server repeats the last one while it is held.
    void press(const QList<KeySym>& keys)
    {
        for (KeySym key : keys)
            XTestFakeKeyEvent(m_display, code(key), True, CurrentTime);
        XSync(m_display, False);
    }
    // Lets the keys go, the last first.
    void release(const QList<KeySym>& keys)
    {
        for (auto key = keys.rbegin(); key != keys.rend(); ++key)
            XTestFakeKeyEvent(m_display, code(*key), False, CurrentTime);
        XSync(m_display, False);
    }
    void drag(QPoint from, QPoint to)
    {
        XTestFakeMotionEvent(m_display, -1, from.x(), from.y(), CurrentTime);
        XTestFakeButtonEvent(m_display, 1, True, CurrentTime);
        XTestFakeMotionEvent(m_display, -1, (from.x() + to.x()) / 2, (from.y() + to.y()) / 2, CurrentTime);
        XTestFakeMotionEvent(m_display, -1, to.x(), to.y(), CurrentTime);
        XTestFakeButtonEvent(m_display, 1, False, CurrentTime);
        XSync(m_display, False);
    }
    // Holds Ctrl+Alt with the key (M, the capture hotkey, unless told) as another program's hotkey, or
    // lets it go.
    void holdHotkey(bool hold, KeySym key = XK_m)
    {
        const Window root = DefaultRootWindow(m_display);
        if (hold)
            XGrabKey(m_display, code(key), ControlMask | Mod1Mask, root, True, GrabModeAsync, GrabModeAsync);
        else
            XUngrabKey(m_display, code(key), ControlMask | Mod1Mask, root);
        XSync(m_display, False);
    }

    // Whether this client could take Ctrl+Alt with the key now: no other client holds it.
    bool hotkeyFree(KeySym key = XK_m)
    {
        static bool refused;
        refused = false;
        const XErrorHandler previous = XSetErrorHandler([](Display*, XErrorEvent* error) {
            refused = refused || error->error_code == BadAccess;
            return 0;
        });
        holdHotkey(true, key);
        holdHotkey(false, key);
        XSetErrorHandler(previous);
        return !refused;
    }

private:
    KeyCode code(KeySym key) const { return XKeysymToKeycode(m_display, key); }
    Display* m_display;
};
