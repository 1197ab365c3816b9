#include "dialogs/SettingsDialog.h"

#include "api/APIHandler.h"
#include "core/autostart.h"
#include "core/identity.h"
#include "core/paths.h"
#include "core/settings.h"
#include "core/ui/FileDialog.h"

#include "ui_SettingsDialog.h"

#include <QDebug>
#include <QPushButton>

namespace {

const char kShownProperty[] = "zqShown";

QVector<utils::shortcuts::Shortcut> storedShortcuts()
{
    return {utils::shortcutLatex(), utils::shortcutReload(), utils::shortcutLatexEdit(),
            utils::shortcutMarkdownEdit()};
}

} // namespace

SettingsDialog::SettingsDialog(QWidget* parent, int tabIndex,
                               const std::optional<utils::ResultFormat>& carriedFormat)
    : QDialog(parent), m_form(std::make_unique<Ui::SettingsDialog>()), m_recorder(storedShortcuts()),
      m_announcedFormat(utils::resultFormat())
{
    m_form->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(utils::appIcon());
    m_filling = true;
    setUpGeneralTab();
    setUpShortcuts();
    setUpFormattingTab(carriedFormat.value_or(m_announcedFormat));
    setUpImageTab();
    setUpPdfTab();
    m_filling = false;
    m_form->tabWidget->setCurrentIndex(qBound(0, tabIndex, m_form->tabWidget->count() - 1));
    connect(m_form->buttonBox, &QDialogButtonBox::accepted, this, &SettingsDialog::accept);
    connect(m_form->buttonBox, &QDialogButtonBox::rejected, this, &SettingsDialog::reject);
}

SettingsDialog::~SettingsDialog()
{
    settleFormatting();
    emitShortcutUpdates();
}

void SettingsDialog::UpdateAllShortcuts()
{
    emitShortcutUpdates();
    reject();
}

void SettingsDialog::accept()
{
    cancelRecording();
    saveShortcuts();
    saveGeneralTab();
    saveFormattingTab();
    m_presets.store();
    savePdfTab();
    qInfo().noquote() << "[SettingsDialog] Settings saved";
    emitShortcutUpdates();
    QDialog::accept();
}

void SettingsDialog::done(int result)
{
    cancelRecording();
    settleFormatting();
    QDialog::done(result);
}

void SettingsDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Formatting carried over from a window this one replaced is announced once the window is wired.
    onFormattingEdited();
}

void SettingsDialog::showChecked(QAbstractButton* box, bool checked)
{
    box->setChecked(checked);
    box->setProperty(kShownProperty, checked);
}

bool SettingsDialog::changedByUser(const QAbstractButton* box)
{
    return box->isChecked() != box->property(kShownProperty).toBool();
}

QVector<QPair<QCheckBox*, const SettingKey<bool>*>> SettingsDialog::boolOptions() const
{
    return {{m_form->cb_start_balloon, &kKeyShowStartBalloon},
            {m_form->cb_hide_on_capture, &kKeyHideWindowOnCaptureStarted},
            {m_form->cb_popup_window, &kKeyPopupConfidenceWindow},
            {m_form->cb_enhanced_diagrams, &kKeyEnhancedDiagramData},
            {m_form->cb_idiomatic_arrays, &kKeyIdiomaticEquationArraysEnabled},
            {m_form->cb_rm_fonts, &kKeySetRmFonts},
            {m_form->cb_ocr_feedback, &kKeyShowOCRFeedback},
            {m_form->cb_ask_pdf_folder, &kKeyAskPdfDownloadsFolder},
            {m_form->cb_open_pdf_folder, &kKeyOpenPdfDownloadsFolder}};
}

void SettingsDialog::setUpGeneralTab()
{
    for (const auto& [box, key] : boolOptions())
        showChecked(box, key->get());
    showChecked(m_form->cb_improve, kKeyImproveZorvaneOCR.get());
    showChecked(m_form->cb_autostart, utils::isAutostartEnabled());
    // Start at login starts the AppImage; a program run from elsewhere has nothing to start.
    if (utils::appImagePath().isEmpty()) {
        m_form->cb_autostart->setEnabled(false);
        m_form->cb_autostart->setToolTip(tr("Available when the app runs as an AppImage"));
    }
}

void SettingsDialog::saveGeneralTab()
{
    for (const auto& [box, key] : boolOptions())
        if (changedByUser(box))
            key->set(box->isChecked());
    if (m_form->cb_autostart->isEnabled() && changedByUser(m_form->cb_autostart))
        utils::setAutostart(m_form->cb_autostart->isChecked());
    // The service keeps the consent too; the request stores it here at once.
    if (changedByUser(m_form->cb_improve))
        APIHandler::SetImproveOCRSetting(m_form->cb_improve->isChecked(), nullptr);
}

void SettingsDialog::setUpPdfTab()
{
    m_form->le_pdf_folder->setText(kKeyPdfDownloadsFolder.get());
    m_form->le_pdf_folder->setProperty(kShownProperty, m_form->le_pdf_folder->text());
    connect(m_form->but_pdf_folder, &QPushButton::clicked, this, [this] {
        const QString folder = FileDialog::getExistingDirectory(this, tr("Folder for converted PDFs"),
                                                                m_form->le_pdf_folder->text());
        if (!folder.isEmpty())
            m_form->le_pdf_folder->setText(folder);
    });
}

void SettingsDialog::savePdfTab()
{
    if (m_form->le_pdf_folder->text() != m_form->le_pdf_folder->property(kShownProperty).toString())
        kKeyPdfDownloadsFolder.set(m_form->le_pdf_folder->text());
}

void SettingsDialog::emitShortcutUpdates()
{
    if (m_shortcutsAnnounced)
        return;
    m_shortcutsAnnounced = true;
    emit UpdateShortcutLatex();
    emit UpdateShortcutReload();
    emit UpdateShortcutLatexEdit();
    emit UpdateShortcutMarkdownEdit();
}

void SettingsDialog::settleFormatting()
{
    if (m_formattingSettled)
        return;
    m_formattingSettled = true;
    const utils::ResultFormat stored = utils::resultFormat();
    if (stored != m_announcedFormat) {
        m_announcedFormat = stored;
        emit FormattingChanged(stored);
    }
}
