#pragma once

#include "core/shortcuts.h"

struct _XDisplay;

// The X11 forms of a hotkey, for the global-hotkey code: the only part of the Foundation that talks to Xlib.
namespace utils::shortcuts {

// Shift, Control and Mod1 (Alt) only.
quint32 x11ModifierMask(const Shortcut& shortcut);
// The keycode of the shortcut's key on `display`; keys other than 0-9 and A-Z are logged as
// critical and replaced by the letter A. 0 when the keyboard mapping has no such key.
quint8 x11Keycode(const Shortcut& shortcut, _XDisplay* display);

} // namespace utils::shortcuts

namespace utils {

// The keycode of an X keysym on `display`; 0 when the keyboard mapping has no key for it.
quint8 x11KeysymToKeycode(quint32 keysym, _XDisplay* display);

} // namespace utils
