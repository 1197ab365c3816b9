#include "api/http.h"

#include "core/identity.h"
#include "core/network.h"

#include <QCoreApplication>
#include <QDebug>
#include <QNetworkReply>
#include <QTimer>
#include <QUrl>

#include <atomic>

namespace ZorvaneAPI::http {

namespace {

// -1: the product's limits. Read by the list downloader's worker thread too.
std::atomic<int> limitOverrideMs{-1};

// Where a Work request carries its limit to watchSilence.
const auto kSilenceLimitAttribute = QNetworkRequest::Attribute(QNetworkRequest::User + 1);

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
    if (transfer == Transfer::Work)
        request.setAttribute(kSilenceLimitAttribute, transferLimitMs(transfer));
    else
        request.setTransferTimeout(transferLimitMs(transfer));
    return request;
}

QNetworkRequest authorizedRequest(const QString& url, const QString& token, Transfer transfer)
{
    QNetworkRequest request = anonymousRequest(url, transfer);
    request.setRawHeader("Authorization", "Bearer " + token.toUtf8());
    return request;
}

void watchSilence(QNetworkReply& reply)
{
    const QVariant limit = reply.request().attribute(kSilenceLimitAttribute);
    if (!limit.isValid())
        return;
    auto* timer = new QTimer(&reply);
    timer->setSingleShot(true);
    timer->setInterval(limit.toInt());
    const auto restart = [timer] { timer->start(); };
    QObject::connect(&reply, &QNetworkReply::uploadProgress, timer, restart);
    QObject::connect(&reply, &QNetworkReply::downloadProgress, timer, restart);
    QObject::connect(&reply, &QNetworkReply::finished, timer, &QTimer::stop);
    QObject::connect(timer, &QTimer::timeout, &reply, [&reply, timer] {
        if (!reply.isRunning())
            return;
        qWarning().noquote() << "[ZorvaneAPI::http] Nothing sent or received for" << timer->interval()
                             << "ms, giving up" << reply.url().path();
        reply.abort();
    });
    timer->start();
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
