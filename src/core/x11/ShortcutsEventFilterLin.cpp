#include "core/x11/ShortcutsEventFilterLin.h"

#include "core/x11/x11Shortcuts.h"

#include <QDebug>
#include <QX11Info>

#include <algorithm>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <xcb/xcb.h>

namespace {

// Set by the error handler while one hotkey is grabbed or released; the GUI thread is the only one here.
bool hotkeyGrabFailed = false;

int hotkeyXErrorHandler(Display*, XErrorEvent* error)
{
    const bool grabError = error->request_code == 33 || error->request_code == 34; // X_GrabKey, X_UngrabKey
    if (grabError &&
        (error->error_code == BadValue || error->error_code == BadWindow || error->error_code == BadAccess))
        hotkeyGrabFailed = true;
    return 0;
}

// Installs the hotkey error handler for one grab and puts the previous one back, also on an exception.
class ErrorHandlerScope
{
public:
    ErrorHandlerScope() : m_previous(XSetErrorHandler(hotkeyXErrorHandler)) { hotkeyGrabFailed = false; }
    ~ErrorHandlerScope() { XSetErrorHandler(m_previous); }
    ErrorHandlerScope(const ErrorHandlerScope&) = delete;
    ErrorHandlerScope& operator=(const ErrorHandlerScope&) = delete;

private:
    XErrorHandler m_previous;
};

// Releases one combination on every lock mask; releasing what another client holds does nothing.
void ungrabAll(Display* display, Window root, quint8 keycode, quint32 modifiers)
{
    for (quint32 mask : ShortcutsEventFilterLin::hotkeyIgnoredModifiers)
        XUngrabKey(display, keycode, mask | modifiers, root);
}

} // namespace

const QVector<quint32> ShortcutsEventFilterLin::hotkeyIgnoredModifiers = {0, Mod2Mask, LockMask,
                                                                          Mod2Mask | LockMask};

ShortcutsEventFilterLin::ShortcutsEventFilterLin(QObject* parent) : ShortcutsEventFilter(parent) {}

bool ShortcutsEventFilterLin::setLatexShortcut(const utils::shortcuts::Shortcut& shortcut)
{
    m_paused = false;
    return grabHotkey(shortcut, m_latex);
}

bool ShortcutsEventFilterLin::setReloadShortcut(const utils::shortcuts::Shortcut& shortcut)
{
    m_paused = false;
    return grabHotkey(shortcut, m_reload);
}

bool ShortcutsEventFilterLin::setMarkdownEditShortcut(const utils::shortcuts::Shortcut& shortcut)
{
    m_paused = false;
    return grabHotkey(shortcut, m_markdownEdit);
}

bool ShortcutsEventFilterLin::setLatexEditShortcut(const utils::shortcuts::Shortcut& shortcut)
{
    m_paused = false;
    return grabHotkey(shortcut, m_latexEdit);
}

void ShortcutsEventFilterLin::pauseShortcuts()
{
    m_paused = true;
}

bool ShortcutsEventFilterLin::grabHotkey(const utils::shortcuts::Shortcut& shortcut, Grab& grab)
{
    Display* display = QX11Info::isPlatformX11() ? QX11Info::display() : nullptr;
    if (!display) {
        qWarning() << "[ShortcutsEventFilterLin] No X11 display: hotkeys are not available";
        return false;
    }
    const Window root = DefaultRootWindow(display);
    m_detectableRepeat = XkbGetDetectableAutoRepeat(display, nullptr);
    ErrorHandlerScope handler;

    // Whatever the old combination was, modifiers or none, it is released before anything else.
    if (grab.keycode != 0) {
        ungrabAll(display, root, grab.keycode, grab.modifiers);
        // Errors arrive only with a round trip; read the flag after it.
        XSync(display, False);
        if (hotkeyGrabFailed)
            qWarning() << "[ShortcutsEventFilterLin] Failed to release the previous hotkey";
    }
    grab = Grab();
    hotkeyGrabFailed = false;

    // A bare key, no key or a key without a keycode would take keys away from every other program.
    const quint32 modifiers = utils::shortcuts::x11ModifierMask(shortcut);
    const quint8 keycode =
        utils::shortcuts::isDigitOrLetter(shortcut.key) ? utils::shortcuts::x11Keycode(shortcut, display) : 0;
    if (modifiers == 0 || keycode == 0) {
        if (shortcut != utils::shortcuts::Shortcut())
            qWarning().noquote() << "[ShortcutsEventFilterLin] Not grabbed, no global hotkey:"
                                 << utils::shortcuts::toText(shortcut, false);
        return false;
    }
    // Kept whatever the outcome, so that the next change releases it.
    grab = Grab{keycode, modifiers};
    for (quint32 mask : hotkeyIgnoredModifiers)
        XGrabKey(display, keycode, mask | modifiers, root, True, GrabModeAsync, GrabModeAsync);
    XSync(display, False);
    if (!hotkeyGrabFailed)
        return true;
    // Another program holds one of the combinations: hold none of them, or the hotkey would work with
    // NumLock on and not without.
    ungrabAll(display, root, keycode, modifiers);
    XSync(display, False);
    hotkeyGrabFailed = true;
    qWarning().noquote() << "[ShortcutsEventFilterLin] Hotkey held by another program:"
                         << utils::shortcuts::toText(shortcut, false);
    return false;
}

bool ShortcutsEventFilterLin::noteKey(bool pressed, quint8 keycode, quint32 time)
{
    const bool sameKey = keycode == m_lastKey.keycode;
    const bool repeat =
        pressed && sameKey &&
        (m_detectableRepeat ? m_lastKey.pressed : !m_lastKey.pressed && time == m_lastKey.time);
    m_lastKey = LastKey{keycode, pressed, time};
    return repeat;
}

bool ShortcutsEventFilterLin::nativeEventFilter(const QByteArray& eventType, void* message, long*)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const int type = event->response_type & 127;
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)
        return false;
    // A release has the layout of a press. Every key counts, so that a repeat is told by its neighbour.
    const auto* press = static_cast<const xcb_key_press_event_t*>(message);
    const bool repeat = noteKey(type == XCB_KEY_PRESS, press->detail, press->time);

    const Grab* const hotkeys[] = {&m_latex, &m_reload, &m_markdownEdit, &m_latexEdit};
    const bool anySet = std::any_of(std::begin(hotkeys), std::end(hotkeys),
                                    [](const Grab* grab) { return grab->keycode != 0; });
    if (!anySet || m_paused || type != XCB_KEY_PRESS)
        return false;
    void (ShortcutsEventFilter::*const activated[])() = {
        &ShortcutsEventFilter::LatexActivated, &ShortcutsEventFilter::ReloadActivated,
        &ShortcutsEventFilter::MarkdownEditActivated, &ShortcutsEventFilter::LatexEditActivated};
    for (quint32 mask : hotkeyIgnoredModifiers) {
        for (int i = 0; i < 4; ++i) {
            const Grab& hotkey = *hotkeys[i];
            if (hotkey.keycode != 0 && press->detail == hotkey.keycode &&
                press->state == (hotkey.modifiers | mask)) {
                // A held hotkey acts once; its repeats are swallowed too, or an overlay would take them
                // for a key that cancels it.
                if (!repeat)
                    (this->*activated[i])();
                return true;
            }
        }
    }
    return false;
}
