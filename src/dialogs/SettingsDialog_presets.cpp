// The Image Export tab: the preset chooser of each file type, the values of the chosen preset, the pro tip,
// and saving edited values as a preset of the user's own.
#include "dialogs/SettingsDialog.h"

#include "core/ui/styles.h"

#include "ui_SettingsDialog.h"

#include <QButtonGroup>
#include <QColorDialog>

void SettingsDialog::setUpImageTab()
{
    Ui::SettingsDialog& f = *m_form;
    f.sb_font_size->setRange(PresetChooser::kMinFontSize, PresetChooser::kMaxFontSize);
    f.sb_dpi->setRange(PresetChooser::kMinDpi, PresetChooser::kMaxDpi);
    m_fontGroup = new QButtonGroup(this);
    m_fontGroup->addButton(f.but_black, Preset::Black);
    m_fontGroup->addButton(f.but_white, Preset::White);
    m_fontGroup->addButton(f.but_font_custom, Preset::Custom);
    m_backgroundGroup = new QButtonGroup(this);
    m_backgroundGroup->addButton(f.but_background_white, Preset::White);
    m_backgroundGroup->addButton(f.but_background_trans, Preset::Transparent);
    m_backgroundGroup->addButton(f.but_background_custom, Preset::Custom);
    for (QAbstractButton* button : m_fontGroup->buttons() + m_backgroundGroup->buttons())
        button->setStyleSheet(utils::styles::whiteButton());

    const auto edit = [this](auto change) {
        return [this, change](auto value) {
            if (m_filling)
                return;
            change(value);
            showPreset();
        };
    };
    connect(f.rb_tiff, &QRadioButton::toggled, this,
            edit([this](bool tiff) { m_presets.setFileType(tiff); }));
    connect(f.cb_preset, QOverload<int>::of(&QComboBox::activated), this,
            edit([this](int index) { m_presets.choose(index); }));
    connect(f.sb_font_size, QOverload<int>::of(&QSpinBox::valueChanged), this,
            edit([this](int size) { m_presets.setFontSize(size); }));
    connect(f.sb_dpi, QOverload<int>::of(&QSpinBox::valueChanged), this,
            edit([this](int dpi) { m_presets.setDpi(dpi); }));
    connect(m_fontGroup, &QButtonGroup::idClicked, this, edit([this](int kind) {
                if (kind == Preset::Custom)
                    pickColor(true);
                else
                    m_presets.setFontColorKind(kind);
            }));
    connect(m_backgroundGroup, &QButtonGroup::idClicked, this, edit([this](int kind) {
                if (kind == Preset::Custom)
                    pickColor(false);
                else
                    m_presets.setBackgroundKind(kind);
            }));
    connect(f.le_preset_name, &QLineEdit::textChanged, this,
            [this](const QString& name) { m_form->but_save_preset->setEnabled(m_presets.canSaveAs(name)); });
    connect(f.but_save_preset, &QPushButton::clicked, this, [this] {
        if (m_presets.saveAs(m_form->le_preset_name->text()))
            m_form->le_preset_name->clear();
        showPreset();
    });
    f.but_save_preset->setEnabled(false);
    showPreset();
}

void SettingsDialog::showPreset()
{
    const bool filling = m_filling;
    m_filling = true;
    Ui::SettingsDialog& f = *m_form;
    const Preset& preset = m_presets.working();
    (preset.fileType == 1 ? f.rb_tiff : f.rb_png)->setChecked(true);
    f.gb_preset->setTitle(preset.fileType == 1 ? tr("TIFF Settings") : tr("PNG Settings"));
    f.cb_preset->clear();
    for (const Preset& entry : m_presets.presets(preset.fileType))
        f.cb_preset->addItem(entry.name);
    if (m_presets.isCustom())
        f.cb_preset->addItem(tr("Custom"));
    f.cb_preset->setCurrentIndex(m_presets.isCustom() ? f.cb_preset->count() - 1 : m_presets.chosenIndex());
    f.sb_font_size->setValue(preset.fontSize);
    f.sb_dpi->setValue(preset.dpi);
    for (const auto& [group, kind] :
         {std::pair{m_fontGroup, preset.fontColorKind}, std::pair{m_backgroundGroup, preset.backgroundKind}})
        if (QAbstractButton* button = group->button(kind))
            button->setChecked(true);
    f.but_font_custom->setToolTip(preset.fontColorKind == Preset::Custom ? preset.customFontColor.name()
                                                                         : QString());
    f.but_background_custom->setToolTip(
        preset.backgroundKind == Preset::Custom ? preset.customBackgroundColor.name() : QString());
    const QString tip = m_presets.tip();
    f.lb_tip->setText(tip.isEmpty() ? QString() : tr("<b>Pro tip:</b> %1").arg(tip));
    f.lb_tip->setVisible(!tip.isEmpty());
    f.but_save_preset->setEnabled(m_presets.canSaveAs(f.le_preset_name->text()));
    m_filling = filling;
}

void SettingsDialog::pickColor(bool font)
{
    const Preset& preset = m_presets.working();
    auto* dialog = new QColorDialog(font ? preset.fontColor() : preset.backgroundColor(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(font ? tr("Font colour") : tr("Background colour"));
    connect(dialog, &QColorDialog::colorSelected, this, [this, font](const QColor& color) {
        if (font)
            m_presets.setFontColor(color);
        else
            m_presets.setBackgroundColor(color);
        showPreset();
    });
    // A cancelled choice leaves the buttons as the values are.
    connect(dialog, &QColorDialog::rejected, this, &SettingsDialog::showPreset);
    dialog->open();
}
