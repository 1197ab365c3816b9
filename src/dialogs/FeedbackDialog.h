#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class FeedbackDialog;
}

// Free-text feedback for the service. The window only collects it: SendFeedback hands it on and the
// window closes. Deleted on close.
class FeedbackDialog : public QDialog
{
    Q_OBJECT

public:
    // hideEmail: the user is signed in, so the service knows who writes.
    FeedbackDialog(QWidget* parent, bool hideEmail);
    ~FeedbackDialog() override;

signals:
    // The text and the e-mail as typed, without surrounding blanks; the e-mail is empty when hidden.
    void SendFeedback(QString text, QString email);

public slots:
    // Closing with unsent text asks first.
    void reject() override;

private:
    void updateSendButton();
    void send();

    std::unique_ptr<Ui::FeedbackDialog> m_form;
    bool m_hideEmail;
};
