#pragma once

#include "core/shortcuts.h"

#include <QVector>

// The hotkey rows of the settings window while the user changes them: the combination each row shows,
// and the one row that listens to the keyboard at a time. Nothing is stored here.
class ShortcutRecorder
{
public:
    using Shortcut = utils::shortcuts::Shortcut;

    // One row per hotkey, showing these combinations.
    explicit ShortcutRecorder(const QVector<Shortcut>& values);

    int rowCount() const { return m_values.size(); }
    Shortcut value(int row) const { return m_values.value(row); }
    const QVector<Shortcut>& values() const { return m_values; }

    // -1 when no row listens.
    int recordingRow() const { return m_recording; }
    // What the listening row has heard so far; none right after it started.
    Shortcut edited() const { return m_edited; }

    // The row listens from now on, starting from none; a row that listened before gives up.
    void start(int row);
    // Keys held now, from a key press or the keyboard poll. A digit or letter with its modifiers makes the
    // combination; modifiers alone show until a key comes; letting go keeps what was made. Meta is
    // dropped: the global grab cannot hold it.
    void feed(Qt::KeyboardModifiers modifiers, int key);
    // A combination the listening row may keep: allowed, and no other row's.
    bool canSave() const;
    // Keeps the edited combination in the row and stops listening; false (and nothing changes) when
    // canSave is false.
    bool save();
    // Stops listening; the row shows what it showed before.
    void cancel();

    // Ctrl or Alt (Shift may join them) with a digit or letter. Shift alone or Meta would take the key from
    // every program's typing.
    static bool isAllowed(const Shortcut& shortcut);

private:
    QVector<Shortcut> m_values;
    int m_recording = -1;
    Shortcut m_edited;
};
