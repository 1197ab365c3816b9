#include "core/network.h"

#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>

namespace utils {

void restoreNetworkAccess(QNetworkReply* reply)
{
    if (!reply || reply->error() != QNetworkReply::UnknownNetworkError || !reply->manager())
        return;
    if (!reply->errorString().toLower().contains(QLatin1String("network access is disabled")))
        return;
    // Deprecated, but still what decides whether Qt 5.15 sends at all.
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    reply->manager()->setNetworkAccessible(QNetworkAccessManager::Accessible);
    QT_WARNING_POP
}

QJsonObject replyToJsonObject(QNetworkReply* reply)
{
    if (!reply)
        return QJsonObject();
    const QByteArray body = reply->readAll();
    if (body.isEmpty())
        return QJsonObject();
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (document.isNull() || document.isEmpty() || !document.isObject())
        return QJsonObject();
    return document.object();
}

} // namespace utils
