#pragma once

#include "support/FakeAccount.h"

#include <QHash>
#include <QJsonObject>

namespace zq::test {

// The routes of the service around the account's Qelts, for a client that runs whole against the fake:
// the browser sign-in (a login process that a visit of the accounts host completes, as a browser would),
// the recognition upload, one Qelt, the user and their settings, events, logs, the update manifest and
// the Qelts' images. Calls made for the user must carry the account's token; the sign-in calls, the
// images, the manifest and the accounts pages need none.
class ServiceSite
{
public:
    struct Options
    {
        QString email = QStringLiteral("e2e@example.com");
        QString token = QStringLiteral("e2e-token");
        QString userName = QStringLiteral("e2e-user");
        QString uploadLatex = QStringLiteral("x^{2}+1");
        QJsonObject manifest; // empty: a version older than any build
    };

    ServiceSite(FakeService& service, FakeAccount& account, const Options& options);

private:
    struct Login
    {
        QString clientId;
        bool completed = false;
    };

    std::optional<Reply> refuseWithoutToken(const RecordedRequest& request) const;
    Reply openLogin(const RecordedRequest& request);
    Reply loginStatus(const RecordedRequest& request) const;
    Reply accountsPage(const RecordedRequest& request);
    Reply upload(const RecordedRequest& request);
    Reply qelt(const RecordedRequest& request) const;
    Reply settings(const RecordedRequest& request);
    Reply image(const RecordedRequest& request) const;

    FakeService& m_service;
    FakeAccount& m_account;
    Options m_options;
    QHash<QString, Login> m_logins;
    QHash<QString, QByteArray> m_uploads; // the picture of each uploaded Qelt, by id
    bool m_improve = false;
    int m_uploaded = 0;
};

} // namespace zq::test
