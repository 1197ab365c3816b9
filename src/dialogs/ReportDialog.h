#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class ReportDialog;
}

// The mistake report after a thumbs-down on one Qelt: what went wrong and a comment. Modal; the caller
// runs it with exec and owns it. Send sends the thumbs-down with the report and accepts; Cancel rejects
// and sends nothing.
class ReportDialog : public QDialog
{
    Q_OBJECT

public:
    ReportDialog(QWidget* parent, QString qeltId);
    ~ReportDialog() override;

    QString qeltId() const { return m_qeltId; }

private:
    void updateSendButton();
    void send();

    std::unique_ptr<Ui::ReportDialog> m_form;
    QString m_qeltId;
};
