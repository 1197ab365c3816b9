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

    bool grabHotkey(const utils::shortcuts::Shortcut& shortcut, Grab& grab);

    Grab m_latex;
    Grab m_reload;
    bool m_paused = false;
    Grab m_latexEdit;
    Grab m_markdownEdit;
};
