#pragma once

#include "core/shortcuts.h"

#include <QVector>

struct _XDisplay;

// The keys held down on the X server, read as a hotkey: the shortcut recorder polls them, because key
// events never show a combination that the desktop or another program grabs, nor the unshifted digit
// of Shift+5.
namespace utils::shortcuts {

// The combination that a set of held keysyms makes: Ctrl, Alt and Shift, and the one digit or letter
// among them (as its capital). The key is Escape (none) when no such key is held, or more than one.
// Meta, Super and every other key add nothing.
Shortcut combinationFromKeysyms(const QVector<quint32>& keysyms);

// The digit or capital letter on a key: its unshifted symbol, or for a digit the shifted one (layouts
// that put digits on the second level). 0 for a key that carries neither, or without a display.
int baseKeyOfKeycode(_XDisplay* display, quint32 keycode);

// What is held on the display right now; none without a display.
Shortcut heldCombination(_XDisplay* display);

} // namespace utils::shortcuts
