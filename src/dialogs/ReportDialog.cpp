#include "dialogs/ReportDialog.h"

#include "api/APIHandler.h"
#include "core/identity.h"
#include "core/settings.h"
#include "core/ui/screens.h"

#include "ui_ReportDialog.h"

#include <QJsonObject>

ReportDialog::ReportDialog(QWidget* parent, QString qeltId)
    : QDialog(parent), m_form(std::make_unique<Ui::ReportDialog>()), m_qeltId(std::move(qeltId))
{
    m_form->setupUi(this);
    setModal(true);
    setWindowIcon(utils::appIcon());
    m_form->cb_dont_show->setChecked(!kKeyShowOCRFeedback.get());
    connect(m_form->cb_dont_show, &QCheckBox::toggled, this,
            [](bool dontShow) { kKeyShowOCRFeedback.set(!dontShow); });
    for (QCheckBox* box : {m_form->cb_recognition, m_form->cb_formatting, m_form->cb_other})
        connect(box, &QCheckBox::toggled, this, &ReportDialog::updateSendButton);
    connect(m_form->te_comment, &QPlainTextEdit::textChanged, this, &ReportDialog::updateSendButton);
    connect(m_form->but_send, &QPushButton::clicked, this, &ReportDialog::send);
    connect(m_form->but_cancel, &QPushButton::clicked, this, &ReportDialog::reject);
    updateSendButton();

    const QRect screen = utils::availableScreenGeometry(parent ? parent : this);
    if (!screen.isNull())
        move(screen.center() - rect().center());
}

ReportDialog::~ReportDialog() = default;

void ReportDialog::updateSendButton()
{
    // A report says something; saying nothing is what Cancel does.
    const bool said = m_form->cb_recognition->isChecked() || m_form->cb_formatting->isChecked() ||
                      m_form->cb_other->isChecked() || !m_form->te_comment->toPlainText().trimmed().isEmpty();
    m_form->but_send->setEnabled(said && !m_qeltId.isEmpty());
}

void ReportDialog::send()
{
    if (!m_form->but_send->isEnabled())
        return;
    const QJsonObject categories{{QStringLiteral("recognition"), m_form->cb_recognition->isChecked()},
                                 {QStringLiteral("formatting"), m_form->cb_formatting->isChecked()},
                                 {QStringLiteral("other"), m_form->cb_other->isChecked()}};
    APIHandler::sendOcrFeedback(m_qeltId, 0, categories, m_form->te_comment->toPlainText().trimmed());
    accept();
}
