#include "api/replyStandIns.h"

#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>

namespace ZorvaneAPI::standIn {

void restoreNetworkAccess(QNetworkReply* reply)
{
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    if (reply->error() == QNetworkReply::UnknownNetworkError &&
        reply->errorString().toLower().contains(QLatin1String("network access is disabled")))
        reply->manager()->setNetworkAccessible(QNetworkAccessManager::Accessible);
    QT_WARNING_POP
}

QJsonObject replyToJsonObject(QNetworkReply* reply)
{
    const QJsonDocument document = QJsonDocument::fromJson(reply->readAll());
    return document.isObject() ? document.object() : QJsonObject();
}

} // namespace ZorvaneAPI::standIn
