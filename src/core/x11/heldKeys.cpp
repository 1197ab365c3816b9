#include "core/x11/heldKeys.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace {

// The digit or capital letter of one keysym; 0 for any other.
int keyOfKeysym(quint32 keysym)
{
    if (keysym >= XK_0 && keysym <= XK_9)
        return int(keysym);
    if (keysym >= XK_a && keysym <= XK_z)
        return int(keysym - XK_a + XK_A);
    if (keysym >= XK_A && keysym <= XK_Z)
        return int(keysym);
    return 0;
}

QVector<quint32> levelSymbols(_XDisplay* display, quint32 keycode)
{
    return {quint32(XkbKeycodeToKeysym(display, KeyCode(keycode), 0, 0)),
            quint32(XkbKeycodeToKeysym(display, KeyCode(keycode), 0, 1))};
}

} // namespace

namespace utils::shortcuts {

Shortcut combinationFromKeysyms(const QVector<quint32>& keysyms)
{
    Shortcut held;
    int keys = 0;
    for (const quint32 keysym : keysyms) {
        switch (keysym) {
        case XK_Control_L:
        case XK_Control_R:
            held.modifiers |= Qt::ControlModifier;
            break;
        case XK_Alt_L:
        case XK_Alt_R:
            held.modifiers |= Qt::AltModifier;
            break;
        case XK_Shift_L:
        case XK_Shift_R:
            held.modifiers |= Qt::ShiftModifier;
            break;
        default:
            if (const int key = keyOfKeysym(keysym)) {
                // The same symbol on two keys (a keypad digit, say) is still one key.
                if (key != held.key)
                    ++keys;
                held.key = key;
            }
        }
    }
    if (keys != 1)
        held.key = Qt::Key_Escape;
    return held;
}

int baseKeyOfKeycode(_XDisplay* display, quint32 keycode)
{
    if (!display || keycode > 255)
        return 0;
    const QVector<quint32> symbols = levelSymbols(display, keycode);
    if (const int key = keyOfKeysym(symbols[0]))
        return key;
    const int shifted = keyOfKeysym(symbols[1]);
    return (shifted >= Qt::Key_0 && shifted <= Qt::Key_9) ? shifted : 0;
}

Shortcut heldCombination(_XDisplay* display)
{
    if (!display)
        return Shortcut();
    char keymap[32] = {};
    XQueryKeymap(display, keymap);
    QVector<quint32> keysyms;
    for (int keycode = 8; keycode < 256; ++keycode) {
        if (!(keymap[keycode / 8] & (1 << (keycode % 8))))
            continue;
        const QVector<quint32> symbols = levelSymbols(display, quint32(keycode));
        // A modifier or letter shows on the first level; a digit of a shifted-digit layout on the second.
        const int key = baseKeyOfKeycode(display, quint32(keycode));
        keysyms.append(key ? quint32(key) : symbols[0]);
    }
    return combinationFromKeysyms(keysyms);
}

} // namespace utils::shortcuts
