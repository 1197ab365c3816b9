#pragma once

#include "auth/flow/LoginFlow.h"

#include <QDialog>

#include <memory>

namespace Ui {
class LoginDialog;
}

// The sign-in window. Signing in, signing up and resetting a password all happen on the accounts site in
// the browser; the window opens the right page, waits for the sign-in to complete and hands on the
// account. Deleted on close.
class LoginDialog : public QDialog
{
    Q_OBJECT

public:
    // loginFirst: open on the login page; otherwise on the sign-up page (the first window on a machine).
    explicit LoginDialog(bool loginFirst, QWidget* parent = nullptr);
    ~LoginDialog() override;

    LoginFlow* flow() { return &m_flow; }

signals:
    // The sign-in succeeded; the window then accepts and closes.
    void loggedIn(QString email, QString token);

public slots:
    // Every way the window ends (close button, Escape, a sign-in) comes through here.
    void done(int result) override;

private:
    void startBrowserSignIn(LoginFlow::Page page);
    void showPage(QWidget* page);
    void showError(const QString& message);
    void onLink(const QString& link);

    std::unique_ptr<Ui::LoginDialog> m_form;
    LoginFlow m_flow;
    // The page to go back to when waiting is cancelled or fails.
    QWidget* m_startPage = nullptr;
    bool m_signedIn = false;
};
