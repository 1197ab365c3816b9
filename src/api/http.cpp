#include "api/http.h"

#include "core/identity.h"
#include "core/network.h"

#include <QCoreApplication>
#include <QDebug>
#include <QNetworkReply>
#include <QUrl>

namespace ZorvaneAPI::http {

QNetworkRequest anonymousRequest(const QString& url)
{
    QNetworkRequest request(QUrl(url, QUrl::TolerantMode));
    request.setHeader(QNetworkRequest::UserAgentHeader, utils::appVersionString());
    return request;
}

QNetworkRequest authorizedRequest(const QString& url, const QString& token)
{
    QNetworkRequest request = anonymousRequest(url);
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
