// The Formatting tab: the delimiters and block rows of recognised maths, previewed on a sample, and which
// data formats the view page shows.
#include "dialogs/SettingsDialog.h"

#include "core/latex.h"
#include "core/ui/fonts.h"
#include "core/ui/styles.h"
#include "core/userState.h"

#include "ui_SettingsDialog.h"

#include <QButtonGroup>
#include <QScrollArea>
#include <QScrollBar>

namespace {

const QString kSample = QStringLiteral("x^{2}");
// The data formats of the view page, in the order of NonLatexFormatsChanged.
const QStringList kFormatNames = {QStringLiteral("mathmlword"), QStringLiteral("mathml"),
                                  QStringLiteral("asciimath"), QStringLiteral("tsv"), QStringLiteral("csv")};

QButtonGroup* groupOf(QObject* owner, const QList<QAbstractButton*>& buttons)
{
    auto* group = new QButtonGroup(owner);
    for (int id = 0; id < buttons.size(); ++id)
        group->addButton(buttons[id], id);
    return group;
}

// The button of a stored style, or the first one for a style no button stands for.
void check(QButtonGroup* group, int id)
{
    QAbstractButton* button = group->button(id);
    (button ? button : group->button(0))->setChecked(true);
}

} // namespace

void SettingsDialog::setUpFormattingTab(const utils::ResultFormat& format)
{
    Ui::SettingsDialog& f = *m_form;
    m_inlineGroup = groupOf(this, {f.but_text_delim_dollar, f.but_text_delim_not_dollar});
    m_blockGroup = groupOf(this, {f.but_bl_delim_no_num_one, f.but_bl_delim_no_num_two,
                                  f.but_bl_delim_no_num_three, f.but_bl_delim_no_num_four});
    m_numberedGroup = groupOf(this, {f.but_bl_delim_num_one, f.but_bl_delim_num_two});
    f.but_text_delim_dollar->setText(kDollarDelimiter + kSample + kDollarDelimiter);
    f.but_text_delim_not_dollar->setText(kInlineDelimiterOpen + kSample + kInlineDelimiterClose);
    for (int style = 0; style < 4; ++style)
        m_blockGroup->button(style)->setText(utils::wrapDisplayLatex(kSample, style, false));
    for (int style = 0; style < 2; ++style)
        m_numberedGroup->button(style)->setText(utils::wrapNumberedLatex(kSample, style, false));

    for (QWidget* widget : std::initializer_list<QWidget*>{
             f.lb_title_latex, f.lb_title_text, f.cb_title_non_numbered, f.cb_title_numbered,
             f.cb_title_custom, f.le_customStart, f.le_customEnd, f.label_15, f.but_text_delim_dollar,
             f.but_text_delim_not_dollar, f.but_bl_delim_no_num_one, f.but_bl_delim_no_num_two,
             f.but_bl_delim_no_num_three, f.but_bl_delim_no_num_four, f.but_bl_delim_num_one,
             f.but_bl_delim_num_two})
        utils::markAsCodeHolder(widget);
    setStyleSheet(utils::codeFontStyleSheet());
    f.scrollArea->setStyleSheet(utils::styles::formattingScrollArea());
    // The tab is as wide as its widest row, in the code font the style sheet gives it: no choice hides
    // behind a horizontal scroll bar, whatever the fonts and the scale. The custom preview takes no part:
    // it has a row of its own and wraps a long delimiter onto more lines.
    QWidget* contents = f.formattingTabScrollAreaWidgetContents;
    ensurePolished();
    // A delimiter of the usual length shows whole in each field.
    for (QLineEdit* edit : {f.le_customStart, f.le_customEnd})
        edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("\\begin{equation}")) +
                              edit->minimumSizeHint().width());
    contents->layout()->activate(); // the rows' sizes with the texts set above
    // Radio buttons report no minimum of their own: their preferred widths are what the row needs.
    f.scrollArea->setMinimumWidth(contents->sizeHint().width() +
                                  f.scrollArea->verticalScrollBar()->sizeHint().width() +
                                  2 * f.scrollArea->frameWidth());

    showFormat(format);
    const QList<QCheckBox*> formats = formatBoxes();
    for (int i = 0; i < formats.size(); ++i)
        showChecked(formats[i], utils::isFormatShown(kFormatNames[i]));

    for (QButtonGroup* group : {m_inlineGroup, m_blockGroup, m_numberedGroup})
        connect(group, &QButtonGroup::idToggled, this, [this](int, bool on) {
            if (on)
                onFormattingEdited();
        });
    for (QCheckBox* box : {f.cb_title_non_numbered, f.cb_title_numbered, f.cb_title_custom})
        connect(box, &QCheckBox::toggled, this, &SettingsDialog::onFormattingEdited);
    for (QLineEdit* edit : {f.le_customStart, f.le_customEnd})
        connect(edit, &QLineEdit::textChanged, this, &SettingsDialog::onFormattingEdited);
}

void SettingsDialog::showFormat(const utils::ResultFormat& format)
{
    Ui::SettingsDialog& f = *m_form;
    check(m_inlineGroup, format.inlineStyle);
    check(m_blockGroup, format.blockStyle);
    check(m_numberedGroup, format.numberedStyle);
    f.cb_title_non_numbered->setChecked(format.blockEnabled);
    f.cb_title_numbered->setChecked(format.numberedEnabled);
    f.cb_title_custom->setChecked(format.customEnabled);
    f.le_customStart->setText(format.customOpenDelimiter);
    f.le_customEnd->setText(format.customCloseDelimiter);
    f.label_15->setText(
        utils::joinLines(kSample, format.customOpenDelimiter, format.customCloseDelimiter, false));
}

utils::ResultFormat SettingsDialog::GetResultFormat() const
{
    const Ui::SettingsDialog& f = *m_form;
    utils::ResultFormat format;
    format.reserved1 = format.reserved2 = format.reserved3 = true;
    format.blockEnabled = f.cb_title_non_numbered->isChecked();
    format.numberedEnabled = f.cb_title_numbered->isChecked();
    format.customEnabled = f.cb_title_custom->isChecked();
    format.customOpenDelimiter = f.le_customStart->text();
    format.customCloseDelimiter = f.le_customEnd->text();
    format.inlineStyle = m_inlineGroup->checkedId();
    format.blockStyle = m_blockGroup->checkedId();
    format.numberedStyle = m_numberedGroup->checkedId();
    return format;
}

void SettingsDialog::onFormattingEdited()
{
    if (m_filling)
        return;
    const utils::ResultFormat format = GetResultFormat();
    m_form->label_15->setText(
        utils::joinLines(kSample, format.customOpenDelimiter, format.customCloseDelimiter, false));
    if (format == m_announcedFormat)
        return;
    m_announcedFormat = format;
    m_formattingSettled = false;
    emit FormattingChanged(format);
}

QList<QCheckBox*> SettingsDialog::formatBoxes() const
{
    return {m_form->cb_format_mathmlword, m_form->cb_format_mathml, m_form->cb_format_asciimath,
            m_form->cb_format_tsv, m_form->cb_format_csv};
}

void SettingsDialog::saveFormattingTab()
{
    const utils::ResultFormat format = GetResultFormat();
    utils::setResultFormat(format);
    m_formattingSettled = true;
    if (format != m_announcedFormat) {
        m_announcedFormat = format;
        emit FormattingChanged(format);
    }
    const QList<QCheckBox*> boxes = formatBoxes();
    bool changed = false;
    for (int i = 0; i < boxes.size(); ++i) {
        if (changedByUser(boxes[i])) {
            utils::setFormatShown(kFormatNames[i], boxes[i]->isChecked());
            changed = true;
        }
    }
    if (!changed)
        return;
    QList<bool> shown;
    for (const QCheckBox* box : boxes)
        shown.append(box->isChecked());
    emit NonLatexFormatsChanged(shown);
}
