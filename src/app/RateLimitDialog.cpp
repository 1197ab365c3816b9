#include "app/RateLimitDialog.h"

#include "core/identity.h"
#include "ui_RateLimitWidget.h"

#include <QDialogButtonBox>

RateLimitDialog::RateLimitDialog(const QString& message, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui_RateLimitWidget>())
{
    m_ui->setupUi(this);
    setWindowFlags((windowFlags() & ~Qt::WindowContextHelpButtonHint) | Qt::MSWindowsFixedSizeDialogHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(utils::appIcon());
    m_ui->error_text->setText(message);
    connect(m_ui->contact_us, &QLabel::linkActivated, this, &RateLimitDialog::contactUs);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

RateLimitDialog::~RateLimitDialog() = default;

RateLimitDialog* RateLimitDialog::showMessage(const QString& message, QWidget* parent)
{
    auto* dialog = new RateLimitDialog(message, parent);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
    return dialog;
}
