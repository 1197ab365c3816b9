#include "core/x11/x11Shortcuts.h"

#include <QDebug>

#include <X11/X.h>
#include <X11/Xlib.h>

namespace utils::shortcuts {

quint32 x11ModifierMask(const Shortcut& shortcut)
{
    quint32 mask = 0;
    if (shortcut.modifiers & Qt::ShiftModifier)
        mask |= ShiftMask;
    if (shortcut.modifiers & Qt::ControlModifier)
        mask |= ControlMask;
    if (shortcut.modifiers & Qt::AltModifier)
        mask |= Mod1Mask;
    return mask;
}

quint8 x11Keycode(const Shortcut& shortcut, _XDisplay* display)
{
    // The keysyms of digits and capital letters equal their Qt key codes.
    KeySym keysym = KeySym(shortcut.key);
    if (!isDigitOrLetter(shortcut.key)) {
        // Only values inside the enumeration's range may be shown by name.
        if (shortcut.key >= 0 && shortcut.key <= Qt::Key_unknown)
            qCritical() << "Invalid key:" << Qt::Key(shortcut.key);
        else
            qCritical() << "Invalid key:" << shortcut.key;
        keysym = Qt::Key_A;
    }
    return quint8(XKeysymToKeycode(display, keysym));
}

} // namespace utils::shortcuts

namespace utils {

quint8 x11KeysymToKeycode(quint32 keysym, _XDisplay* display)
{
    return display ? quint8(XKeysymToKeycode(display, KeySym(keysym))) : 0;
}

} // namespace utils
