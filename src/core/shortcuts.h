#pragma once

#include <QKeySequence>
#include <QMetaType>
#include <QString>
#include <Qt>

class QDataStream;

namespace utils::shortcuts {

// One global hotkey: modifier flags and one non-modifier key (a digit or capital letter when recorded).
// The default value is "none" (no modifiers, Escape): no hotkey set.
struct Shortcut
{
    Shortcut() = default;
    Shortcut(Qt::KeyboardModifiers modifiers, int key) : modifiers(modifiers), key(key) {}

    bool operator==(const Shortcut& other) const { return modifiers == other.modifiers && key == other.key; }
    bool operator!=(const Shortcut& other) const { return !(*this == other); }

    Qt::KeyboardModifiers modifiers;
    // A Qt::Key code; kept as int because stored values may hold any number.
    int key = Qt::Key_Escape;
};

// "CTRL", "ALT", "SHIFT" and the key's character, joined by " + " when `spaced`, else by "+".
// Meta is never shown; a key other than 0-9 and A-Z shows nothing after its separator.
QString toText(const Shortcut& shortcut, bool spaced);
QKeySequence toKeySequence(const Shortcut& shortcut);
// The keys a recorded shortcut may hold, and the only ones with a text and an X11 form.
bool isDigitOrLetter(int key);

} // namespace utils::shortcuts

namespace utils {

// The four hotkeys; with nothing stored they are Ctrl+Alt+M, Ctrl+Alt+O, Ctrl+Alt+N and Ctrl+Alt+K.
// A stored value that is no shortcut reads as modifiers 0 and key 0.
shortcuts::Shortcut shortcutLatex();
shortcuts::Shortcut shortcutReload();
shortcuts::Shortcut shortcutMarkdownEdit();
shortcuts::Shortcut shortcutLatexEdit();
void setShortcutLatex(const shortcuts::Shortcut& shortcut);
void setShortcutReload(const shortcuts::Shortcut& shortcut);
void setShortcutMarkdownEdit(const shortcuts::Shortcut& shortcut);
void setShortcutLatexEdit(const shortcuts::Shortcut& shortcut);

} // namespace utils

// A count of modifier entries (0 to 4), one qint32 flag per set modifier, then the key as qint64.
// A damaged or truncated record reads as modifiers 0 and key 0 and leaves the stream's status set.
QDataStream& operator<<(QDataStream& stream, const utils::shortcuts::Shortcut& shortcut);
QDataStream& operator>>(QDataStream& stream, utils::shortcuts::Shortcut& shortcut);

Q_DECLARE_METATYPE(utils::shortcuts::Shortcut)
