#include "core/shortcuts.h"

#include "core/settings.h"

#include <QDataStream>
#include <QDebug>

namespace {

using utils::shortcuts::Shortcut;

// The stored order of the modifier entries.
constexpr Qt::KeyboardModifier kStreamedModifiers[] = {Qt::ShiftModifier, Qt::AltModifier,
                                                       Qt::ControlModifier, Qt::MetaModifier};
constexpr quint32 kMaxStreamedModifiers = 4;
constexpr Qt::KeyboardModifiers kCtrlAlt = Qt::ControlModifier | Qt::AltModifier;

Shortcut readShortcut(const SettingKey<QVariant>& key, const Shortcut& absent)
{
    if (!key.contains())
        return absent;
    QVariant stored = key.get();
    const int type = qMetaTypeId<Shortcut>();
    if (stored.userType() == type || stored.convert(type))
        return stored.value<Shortcut>();
    return Shortcut(Qt::NoModifier, 0);
}

void writeShortcut(const SettingKey<QVariant>& key, const Shortcut& shortcut)
{
    key.set(QVariant::fromValue(shortcut));
}

} // namespace

namespace utils::shortcuts {

bool isDigitOrLetter(int key)
{
    return (key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z);
}

QString toText(const Shortcut& shortcut, bool spaced)
{
    const QString separator = spaced ? QStringLiteral(" + ") : QStringLiteral("+");
    QString text;
    const auto append = [&](const QString& part) {
        if (!text.isEmpty())
            text += separator;
        text += part;
    };
    if (shortcut.modifiers & Qt::ControlModifier)
        append(QStringLiteral("CTRL"));
    if (shortcut.modifiers & Qt::AltModifier)
        append(QStringLiteral("ALT"));
    if (shortcut.modifiers & Qt::ShiftModifier)
        append(QStringLiteral("SHIFT"));
    if (shortcut.key == Qt::Key_Escape)
        return text;
    append(isDigitOrLetter(shortcut.key) ? QString(QChar(shortcut.key)) : QString());
    return text;
}

QKeySequence toKeySequence(const Shortcut& shortcut)
{
    if (shortcut.key >= Qt::Key_Shift && shortcut.key <= Qt::Key_Alt)
        return QKeySequence(shortcut.key);
    if (shortcut.key == Qt::Key_unknown)
        return QKeySequence();
    const int modifiers = int(shortcut.modifiers &
                              (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    return QKeySequence(shortcut.key | modifiers);
}

} // namespace utils::shortcuts

namespace utils {

Shortcut shortcutLatex()
{
    return readShortcut(kKeyShortcutLatex, Shortcut(kCtrlAlt, Qt::Key_M));
}

Shortcut shortcutReload()
{
    return readShortcut(kKeyShortcutReload, Shortcut(kCtrlAlt, Qt::Key_O));
}

Shortcut shortcutMarkdownEdit()
{
    return readShortcut(kKeyShortcutMarkdownEdit, Shortcut(kCtrlAlt, Qt::Key_N));
}

Shortcut shortcutLatexEdit()
{
    return readShortcut(kKeyShortcutLatexEdit, Shortcut(kCtrlAlt, Qt::Key_K));
}

void setShortcutLatex(const Shortcut& shortcut)
{
    writeShortcut(kKeyShortcutLatex, shortcut);
}

void setShortcutReload(const Shortcut& shortcut)
{
    writeShortcut(kKeyShortcutReload, shortcut);
}

void setShortcutMarkdownEdit(const Shortcut& shortcut)
{
    writeShortcut(kKeyShortcutMarkdownEdit, shortcut);
}

void setShortcutLatexEdit(const Shortcut& shortcut)
{
    writeShortcut(kKeyShortcutLatexEdit, shortcut);
}

} // namespace utils

QDataStream& operator<<(QDataStream& stream, const Shortcut& shortcut)
{
    quint32 count = 0;
    for (Qt::KeyboardModifier modifier : kStreamedModifiers)
        count += shortcut.modifiers.testFlag(modifier) ? 1 : 0;
    stream << count;
    for (Qt::KeyboardModifier modifier : kStreamedModifiers) {
        if (shortcut.modifiers.testFlag(modifier))
            stream << qint32(modifier);
    }
    stream << qint64(shortcut.key);
    return stream;
}

QDataStream& operator>>(QDataStream& stream, Shortcut& shortcut)
{
    shortcut = Shortcut(Qt::NoModifier, 0);
    // The count is checked before anything is read or reserved: a damaged file must not make
    // every start allocate without bound.
    quint32 count = 0;
    stream >> count;
    if (stream.status() != QDataStream::Ok)
        return stream;
    if (count > kMaxStreamedModifiers) {
        stream.setStatus(QDataStream::ReadCorruptData);
        return stream;
    }
    Qt::KeyboardModifiers modifiers;
    for (quint32 i = 0; i < count; ++i) {
        qint32 modifier = 0;
        stream >> modifier;
        modifiers |= Qt::KeyboardModifiers(QFlag(modifier));
    }
    qint64 key = 0;
    stream >> key;
    if (stream.status() != QDataStream::Ok)
        return stream;
    shortcut = Shortcut(modifiers, int(quint32(quint64(key))));
    return stream;
}
