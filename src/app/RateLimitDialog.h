#pragma once

#include <QDialog>

#include <memory>

class Ui_RateLimitWidget;

// The notice that the service's request limit was reached, with the service's own words, a link to the
// terms and one to the feedback window. Not modal, deleted on close; each limit reached opens a new one.
//
// The application's ShowRateLimitDialog(message) is
//     RateLimitDialog::showMessage(message, mainWindow && mainWindow->isVisible() ? mainWindow : nullptr)
// with contactUs connected to OnRateLimitContact (which opens the feedback window).
class RateLimitDialog : public QDialog
{
    Q_OBJECT

public:
    explicit RateLimitDialog(const QString& message, QWidget* parent = nullptr);
    ~RateLimitDialog() override;

    // A new dialog, shown, raised and activated.
    static RateLimitDialog* showMessage(const QString& message, QWidget* parent = nullptr);

signals:
    void contactUs();

private:
    std::unique_ptr<Ui_RateLimitWidget> m_ui;
};
