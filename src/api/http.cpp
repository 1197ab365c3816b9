#include "api/http.h"

#include "core/identity.h"
#include "core/network.h"

#include <QCoreApplication>
#include <QDebug>
#include <QNetworkReply>
#include <QUrl>

#include <atomic>

namespace ZorvaneAPI::http {

namespace {

// -1: the product's limits. Read by the list downloader's worker thread too.
std::atomic<int> limitOverrideMs{-1};

} // namespace

int transferLimitMs(Transfer transfer)
{
    if (const int forced = limitOverrideMs.load(); forced >= 0)
        return forced;
    return transfer == Transfer::Work ? kWorkTransferLimitMs : kCallTransferLimitMs;
}

void overrideTransferLimitForTesting(std::optional<int> ms)
{
    limitOverrideMs = ms ? *ms : -1;
}

QNetworkRequest anonymousRequest(const QString& url, Transfer transfer)
{
    QNetworkRequest request(QUrl(url, QUrl::TolerantMode));
    request.setHeader(QNetworkRequest::UserAgentHeader, utils::appVersionString());
    request.setTransferTimeout(transferLimitMs(transfer));
    return request;
}

QNetworkRequest authorizedRequest(const QString& url, const QString& token, Transfer transfer)
{
    QNetworkRequest request = anonymousRequest(url, transfer);
    request.setRawHeader("Authorization", "Bearer " + token.toUtf8());
    return request;
}

void settleReply(QNetworkReply& reply)
{
    utils::restoreNetworkAccess(&reply);
    reply.deleteLater();
}

bool refusesRedirect(int httpStatus, const QString& className)
{
    if (httpStatus < 300 || httpStatus > 399)
        return false;
    qWarning().noquote() << QLatin1Char('[') + className + QLatin1Char(']')
                         << "Redirect not followed, HTTP status" << httpStatus;
    return true;
}

QString genericFailureText()
{
    // Kept in the sender's translation context, where the text has always been.
    return QCoreApplication::translate("APIHandler", "Something went wrong, please try again or contact %1.")
        .arg(QStringLiteral("support@zorvane.com"));
}

} // namespace ZorvaneAPI::http
