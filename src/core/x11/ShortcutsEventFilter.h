#pragma once

#include "core/shortcuts.h"

#include <QAbstractNativeEventFilter>
#include <QObject>

// The four global hotkeys as a native event filter: a press of a set hotkey, anywhere on the desktop,
// becomes its signal. The platform's filter grabs the keys and reads the raw events.
class ShortcutsEventFilter : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Each grabs its hotkey in place of the one set before and ends a pause. True when the hotkey is
    // held; false when the combination cannot be a global hotkey or another program holds it.
    virtual bool setLatexShortcut(const utils::shortcuts::Shortcut& shortcut) = 0;
    virtual bool setReloadShortcut(const utils::shortcuts::Shortcut& shortcut) = 0;
    virtual bool setMarkdownEditShortcut(const utils::shortcuts::Shortcut& shortcut) = 0;
    virtual bool setLatexEditShortcut(const utils::shortcuts::Shortcut& shortcut) = 0;
    // Lets every event pass, so that the settings window can record the keys, until a hotkey is set.
    virtual void pauseShortcuts() = 0;

signals:
    void LatexActivated();
    void ReloadActivated();
    void MarkdownEditActivated();
    void LatexEditActivated();
};
