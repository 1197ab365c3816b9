#include "dialogs/FeedbackDialog.h"

#include "core/identity.h"
#include "core/settings.h"
#include "core/ui/MessageBox.h"

#include "ui_FeedbackDialog.h"

#include <QRegularExpression>

namespace {

bool looksLikeEmail(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^[^@\\s]+@[^@\\s]+\\.[^@\\s]+$"));
    return pattern.match(text).hasMatch();
}

} // namespace

FeedbackDialog::FeedbackDialog(QWidget* parent, bool hideEmail)
    : QDialog(parent), m_form(std::make_unique<Ui::FeedbackDialog>()), m_hideEmail(hideEmail)
{
    m_form->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(utils::appIcon());
    m_form->lb_email->setVisible(!hideEmail);
    m_form->le_email->setVisible(!hideEmail);
    m_form->lb_email_error->hide();
    if (!hideEmail)
        m_form->le_email->setText(kKeySavedEmail.get());
    connect(m_form->te_feedback, &QPlainTextEdit::textChanged, this, &FeedbackDialog::updateSendButton);
    connect(m_form->le_email, &QLineEdit::textChanged, this, &FeedbackDialog::updateSendButton);
    connect(m_form->but_send, &QPushButton::clicked, this, &FeedbackDialog::send);
    connect(m_form->but_cancel, &QPushButton::clicked, this, &FeedbackDialog::reject);
    updateSendButton();
}

FeedbackDialog::~FeedbackDialog() = default;

void FeedbackDialog::reject()
{
    if (!m_form->te_feedback->toPlainText().trimmed().isEmpty() &&
        MessageBox::question(this, windowTitle(), tr("Discard your feedback?")) != QMessageBox::Yes)
        return;
    QDialog::reject();
}

void FeedbackDialog::updateSendButton()
{
    const QString email = m_form->le_email->text().trimmed();
    const bool emailFine = m_hideEmail || email.isEmpty() || looksLikeEmail(email);
    m_form->lb_email_error->setText(emailFine ? QString() : tr("This does not look like an e-mail address"));
    m_form->lb_email_error->setVisible(!emailFine);
    m_form->but_send->setEnabled(emailFine && !m_form->te_feedback->toPlainText().trimmed().isEmpty());
}

void FeedbackDialog::send()
{
    if (!m_form->but_send->isEnabled())
        return;
    emit SendFeedback(m_form->te_feedback->toPlainText().trimmed(),
                      m_hideEmail ? QString() : m_form->le_email->text().trimmed());
    QDialog::accept();
}
