#include "dialogs/logic/ShortcutRecorder.h"

namespace {

constexpr Qt::KeyboardModifiers kRecorded = Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier;

} // namespace

ShortcutRecorder::ShortcutRecorder(const QVector<Shortcut>& values) : m_values(values) {}

void ShortcutRecorder::start(int row)
{
    if (row < 0 || row >= m_values.size())
        return;
    m_recording = row;
    m_edited = Shortcut();
}

void ShortcutRecorder::feed(Qt::KeyboardModifiers modifiers, int key)
{
    if (m_recording < 0)
        return;
    modifiers &= kRecorded;
    if (utils::shortcuts::isDigitOrLetter(key))
        m_edited = Shortcut(modifiers, key);
    else if (m_edited.key == Qt::Key_Escape && modifiers)
        m_edited = Shortcut(modifiers, Qt::Key_Escape);
}

bool ShortcutRecorder::canSave() const
{
    if (m_recording < 0 || !isAllowed(m_edited))
        return false;
    for (int row = 0; row < m_values.size(); ++row)
        if (row != m_recording && m_values[row] == m_edited)
            return false;
    return true;
}

bool ShortcutRecorder::save()
{
    if (!canSave())
        return false;
    m_values[m_recording] = m_edited;
    m_recording = -1;
    return true;
}

void ShortcutRecorder::cancel()
{
    m_recording = -1;
    m_edited = Shortcut();
}

bool ShortcutRecorder::isAllowed(const Shortcut& shortcut)
{
    return (shortcut.modifiers & (Qt::ControlModifier | Qt::AltModifier)) &&
           !(shortcut.modifiers & ~kRecorded) && utils::shortcuts::isDigitOrLetter(shortcut.key);
}
