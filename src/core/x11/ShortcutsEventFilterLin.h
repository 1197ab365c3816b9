#pragma once

#include "core/x11/ShortcutsEventFilter.h"

#include <QVector>

// The hotkeys on X11: each is grabbed on the root window once for every state of NumLock and CapsLock,
// and a key press whose keycode and modifier state match it exactly is consumed as its signal.
class ShortcutsEventFilterLin : public ShortcutsEventFilter
{
    Q_OBJECT

public:
    explicit ShortcutsEventFilterLin(QObject* parent = nullptr);

    bool setLatexShortcut(const utils::shortcuts::Shortcut& shortcut) override;
    bool setReloadShortcut(const utils::shortcuts::Shortcut& shortcut) override;
    bool setMarkdownEditShortcut(const utils::shortcuts::Shortcut& shortcut) override;
    bool setLatexEditShortcut(const utils::shortcuts::Shortcut& shortcut) override;
    void pauseShortcuts() override;
    bool nativeEventFilter(const QByteArray& eventType, void* message, long* result) override;

    bool isPaused() const { return m_paused; }

    // The lock masks that a hotkey ignores, in the order presses are matched: none, NumLock (Mod2),
    // CapsLock (Lock), both.
    static const QVector<quint32> hotkeyIgnoredModifiers;

private:
    struct Grab
    {
        quint8 keycode = 0; // 0: nothing grabbed, nothing matches
        quint32 modifiers = 0;
    };

    // The last key event this process saw, of any key.
    struct LastKey
    {
        quint8 keycode = 0;
        bool pressed = false;
        quint32 time = 0;
    };

    bool grabHotkey(const utils::shortcuts::Shortcut& shortcut, Grab& grab);
    // Whether a press of keycode at time is the server repeating a held key, and remembers the event.
    bool noteKey(bool pressed, quint8 keycode, quint32 time);

    Grab m_latex;
    Grab m_reload;
    bool m_paused = false;
    Grab m_latexEdit;
    Grab m_markdownEdit;
    LastKey m_lastKey;
    // How the server repeats a held key for this connection: presses alone (detectable) or a release
    // and a press of the same time before each repeated press.
    bool m_detectableRepeat = false;
};
