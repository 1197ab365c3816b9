#pragma once

#include "support/FakeService.h"

#include <QObject>
#include <QUrl>

#include <memory>

namespace zq::test {

// The browser sign-in processes of a FakeService. POST "/v1/user/logins" opens "process1", "process2", ...
// for the "client_id" it is sent; GET "/v1/user/logins/<uuid>?client_id=..." answers "pending" until the
// user signs in on the process, then "completed" with the account. A process asked for with another client
// id is refused (403), one the service has forgotten answers 400 "unknown_login_uuid". The routes share
// the state: they outlive the object.
class FakeLogins
{
public:
    explicit FakeLogins(FakeService& service);

    // The user has signed in on the accounts page of this process.
    void signIn(const QString& uuid, const QString& email, const QString& token);
    // From now on the service answers "unknown_login_uuid" for this process; with forgetAll, for every
    // process, present and future.
    void forget(const QString& uuid);
    void forgetAll();

    // The processes opened, in order, and the client id each was opened for.
    QStringList processes() const;
    QString clientIdOf(const QString& uuid) const;
    // Status requests answered for the process.
    int polls(const QString& uuid) const;

    struct State;

private:
    std::shared_ptr<State> m_state;
};

// Stands in for the desktop's browser: while it lives, QDesktopServices hands it every http and https
// address instead of starting a program.
class FakeBrowser : public QObject
{
    Q_OBJECT

public:
    FakeBrowser();
    ~FakeBrowser() override;

    QList<QUrl> opened() const { return m_opened; }

signals:
    void pageOpened(QUrl url);

public slots:
    void openUrl(const QUrl& url);

private:
    QList<QUrl> m_opened;
};

} // namespace zq::test
