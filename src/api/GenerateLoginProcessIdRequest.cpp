#include "api/GenerateLoginProcessIdRequest.h"

#include "api/LoginIdResult.h"

#include <QJsonValue>

namespace ZorvaneAPI {

GenerateLoginProcessIdRequest::GenerateLoginProcessIdRequest(QNetworkAccessManager* manager, QObject* parent)
    : Request(manager, QString(), parent)
{
}

void GenerateLoginProcessIdRequest::exec(const QString& clientId)
{
    sendJson(networkRequest(QStringLiteral("/v1/user/logins"), Authorization::None),
             QJsonObject{{QStringLiteral("client_id"), clientId}});
}

void GenerateLoginProcessIdRequest::responseHandler()
{
    const auto result = std::make_shared<LoginIdResult>();
    handleReply(result, [&](const QJsonObject& object, const QByteArray&) {
        // Without a "uuid" the result reports the error itself.
        const QJsonValue uuid = object.value(QLatin1String("uuid"));
        if (uuid.isString())
            result->uuid = uuid.toString();
    });
}

} // namespace ZorvaneAPI
