#pragma once

#include "core/ResultFormat.h"
#include "core/SettingKey.h"
#include "dialogs/logic/PresetChooser.h"
#include "dialogs/logic/ShortcutRecorder.h"

#include <QDialog>
#include <QList>
#include <QPair>
#include <QVector>

#include <memory>
#include <optional>

class KeyboardPoller;
class QAbstractButton;
class QButtonGroup;
class QLineEdit;
class QPushButton;
class QCheckBox;
namespace Ui {
class SettingsDialog;
}

// The settings window: hotkeys, start and window behaviour, recognition options and consent (tab 0),
// formatting and the shown data formats (tab 1), image-export presets (tab 2) and PDF export (tab 3).
// Nothing is stored before OK, except that the formatting is announced as it changes and taken back when
// the window ends unsaved. Deleted on close.
class SettingsDialog : public QDialog
{
    Q_OBJECT

public:
    enum Tab { GeneralTab = 0, FormattingTab = 1, ImageExportTab = 2, PdfExportTab = 3 };

    // carriedFormat: the unsaved formatting of a settings window this one replaces.
    explicit SettingsDialog(QWidget* parent = nullptr, int tabIndex = GeneralTab,
                            const std::optional<utils::ResultFormat>& carriedFormat = std::nullopt);
    ~SettingsDialog() override;

    // The formatting shown on the Formatting tab, saved or not.
    utils::ResultFormat GetResultFormat() const;
    // The four hotkey signals, then the window closes as rejected.
    void UpdateAllShortcuts();

    // Tests: how often the keyboard is polled while a hotkey row listens.
    KeyboardPoller* keyboardPoller() const { return m_poller; }

signals:
    void FormattingChanged(utils::ResultFormat rf);
    // Once per window, in this order: after saving, on UpdateAllShortcuts, or else when the window goes.
    void UpdateShortcutLatex();
    void UpdateShortcutReload();
    void UpdateShortcutLatexEdit();
    void UpdateShortcutMarkdownEdit();
    // The shown flags of MathML (MS Word), MathML, AsciiMath, TSV and CSV, in that order, once they changed.
    void NonLatexFormatsChanged(QList<bool> format);

public slots:
    void accept() override;
    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    struct HotkeyRow
    {
        QString name; // for utils::isShortcutEnabled
        QCheckBox* enabled;
        QLineEdit* field;
        QPushButton* change;
        QPushButton* save;
        QPushButton* cancel;
    };

    // A check box as the window opened with it. Only what the user changes is written back, so that a
    // value changed elsewhere meanwhile (the consent fetched from the service, say) is not overwritten.
    static void showChecked(QAbstractButton* box, bool checked);
    static bool changedByUser(const QAbstractButton* box);

    // SettingsDialog.cpp: the general and PDF tabs, saving, the end of the window.
    // The check boxes that each stand for one stored flag.
    QVector<QPair<QCheckBox*, const SettingKey<bool>*>> boolOptions() const;
    void setUpGeneralTab();
    void saveGeneralTab();
    void setUpPdfTab();
    void savePdfTab();
    void emitShortcutUpdates();
    // Takes back announced formatting that was not saved.
    void settleFormatting();

    // SettingsDialog_shortcuts.cpp
    void setUpShortcuts();
    void startRecording(int row);
    void feedRecorder(Qt::KeyboardModifiers modifiers, int key);
    void saveRecording();
    void cancelRecording();
    void showShortcuts();
    void saveShortcuts();

    // SettingsDialog_formatting.cpp
    void setUpFormattingTab(const utils::ResultFormat& format);
    void showFormat(const utils::ResultFormat& format);
    void onFormattingEdited();
    // MathML (MS Word), MathML, AsciiMath, TSV, CSV.
    QList<QCheckBox*> formatBoxes() const;
    void saveFormattingTab();

    // SettingsDialog_presets.cpp
    void setUpImageTab();
    void showPreset();
    void pickColor(bool font);

    std::unique_ptr<Ui::SettingsDialog> m_form;
    ShortcutRecorder m_recorder;
    QList<HotkeyRow> m_rows;
    KeyboardPoller* m_poller = nullptr;
    QButtonGroup* m_inlineGroup = nullptr;
    QButtonGroup* m_blockGroup = nullptr;
    QButtonGroup* m_numberedGroup = nullptr;
    QButtonGroup* m_fontGroup = nullptr;
    QButtonGroup* m_backgroundGroup = nullptr;
    PresetChooser m_presets;
    // What the window last announced through FormattingChanged.
    utils::ResultFormat m_announcedFormat;
    bool m_formattingSettled = false;
    bool m_shortcutsAnnounced = false;
    // Guards the form's change signals while the window fills its own controls.
    bool m_filling = false;
};
