// The hotkey rows: each shows its combination; "Change" makes the row listen to the keyboard, "Save" keeps
// what it heard when the recorder allows it, "Cancel" (or Escape) goes back. OK writes the rows that changed.
#include "dialogs/SettingsDialog.h"

#include "core/userState.h"
#include "core/x11/KeyboardPoller.h"

#include "ui_SettingsDialog.h"

#include <QKeyEvent>

#include <array>

namespace {

using utils::shortcuts::Shortcut;

struct StoredHotkey
{
    Shortcut (*get)();
    void (*set)(const Shortcut&);
};

// In the order of the rows and of the update signals.
const std::array<StoredHotkey, 4> kStoredHotkeys = {
    {{utils::shortcutLatex, utils::setShortcutLatex},
     {utils::shortcutReload, utils::setShortcutReload},
     {utils::shortcutLatexEdit, utils::setShortcutLatexEdit},
     {utils::shortcutMarkdownEdit, utils::setShortcutMarkdownEdit}}};

// The digit or letter of a key press, as the unshifted key shows it where the platform tells.
int keyOf(const QKeyEvent& event)
{
    if (const int key = KeyboardPoller::baseKeyOfScanCode(event.nativeScanCode()))
        return key;
    return utils::shortcuts::isDigitOrLetter(event.key()) ? event.key() : 0;
}

} // namespace

void SettingsDialog::setUpShortcuts()
{
    m_rows = {{"latex", m_form->cb_enable_latex, m_form->le_shortcut_latex, m_form->but_change_latex,
               m_form->but_save_latex, m_form->but_cancel_latex},
              {"open", m_form->cb_enable_reload, m_form->le_shortcut_reload, m_form->but_change_reload,
               m_form->but_save_reload, m_form->but_cancel_reload},
              {"latexedit", m_form->cb_enable_latexedit, m_form->le_shortcut_latexedit,
               m_form->but_change_latexedit, m_form->but_save_latexedit, m_form->but_cancel_latexedit},
              {"markdownedit", m_form->cb_enable_markdownedit, m_form->le_shortcut_markdownedit,
               m_form->but_change_markdownedit, m_form->but_save_markdownedit,
               m_form->but_cancel_markdownedit}};
    for (int row = 0; row < m_rows.size(); ++row) {
        const HotkeyRow& hotkey = m_rows[row];
        showChecked(hotkey.enabled, utils::isShortcutEnabled(hotkey.name));
        hotkey.field->installEventFilter(this);
        connect(hotkey.change, &QPushButton::clicked, this, [this, row] { startRecording(row); });
        connect(hotkey.save, &QPushButton::clicked, this, &SettingsDialog::saveRecording);
        connect(hotkey.cancel, &QPushButton::clicked, this, &SettingsDialog::cancelRecording);
    }
    m_poller = new KeyboardPoller(this);
    // The poll sees the whole keyboard: only keys meant for this window count.
    connect(m_poller, &KeyboardPoller::held, this, [this](const Shortcut& held) {
        if (isActiveWindow())
            feedRecorder(held.modifiers, held.key);
    });
    showShortcuts();
}

void SettingsDialog::startRecording(int row)
{
    m_recorder.start(row);
    m_poller->start();
    showShortcuts();
    m_rows[row].field->setFocus(Qt::OtherFocusReason);
}

void SettingsDialog::feedRecorder(Qt::KeyboardModifiers modifiers, int key)
{
    m_recorder.feed(modifiers, key);
    showShortcuts();
}

void SettingsDialog::saveRecording()
{
    if (m_recorder.save())
        m_poller->stop();
    showShortcuts();
}

void SettingsDialog::cancelRecording()
{
    m_recorder.cancel();
    if (m_poller)
        m_poller->stop();
    showShortcuts();
}

void SettingsDialog::showShortcuts()
{
    if (m_rows.isEmpty())
        return;
    const int recording = m_recorder.recordingRow();
    for (int row = 0; row < m_rows.size(); ++row) {
        const HotkeyRow& hotkey = m_rows[row];
        const bool listening = row == recording;
        const Shortcut shown = listening ? m_recorder.edited() : m_recorder.value(row);
        hotkey.field->setText(utils::shortcuts::toText(shown, true));
        hotkey.field->setPlaceholderText(listening ? tr("Press the new keys") : QString());
        hotkey.field->setToolTip(utils::shortcuts::toKeySequence(shown).toString(QKeySequence::NativeText));
        hotkey.change->setVisible(!listening);
        hotkey.save->setVisible(listening);
        hotkey.cancel->setVisible(listening);
        hotkey.save->setEnabled(listening && m_recorder.canSave());
    }
    m_form->lb_recording_hint->setVisible(recording >= 0);
}

void SettingsDialog::saveShortcuts()
{
    for (int row = 0; row < m_rows.size(); ++row) {
        if (m_recorder.value(row) != kStoredHotkeys[row].get())
            kStoredHotkeys[row].set(m_recorder.value(row));
        const HotkeyRow& hotkey = m_rows[row];
        if (changedByUser(hotkey.enabled))
            utils::setShortcutEnabled(hotkey.name, hotkey.enabled->isChecked());
    }
}

bool SettingsDialog::eventFilter(QObject* watched, QEvent* event)
{
    const int recording = m_recorder.recordingRow();
    if (recording < 0 || watched != m_rows.value(recording).field)
        return QDialog::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Every key goes to the listening row, none to a shortcut of the window.
        event->accept();
        return true;
    case QEvent::KeyPress: {
        const auto* press = static_cast<QKeyEvent*>(event);
        const bool plain = !(press->modifiers() & ~Qt::KeypadModifier);
        if (press->key() == Qt::Key_Escape && plain)
            cancelRecording();
        else if ((press->key() == Qt::Key_Return || press->key() == Qt::Key_Enter) && plain)
            saveRecording();
        else
            feedRecorder(press->modifiers(), keyOf(*press));
        return true;
    }
    case QEvent::KeyRelease:
        return true;
    default:
        return QDialog::eventFilter(watched, event);
    }
}
