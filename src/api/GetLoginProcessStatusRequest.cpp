#include "api/GetLoginProcessStatusRequest.h"

#include "api/LoginProcessResult.h"
#include "core/network.h"

#include <QJsonValue>
#include <QNetworkAccessManager>
#include <QNetworkReply>

namespace ZorvaneAPI {

GetLoginProcessStatusRequest::GetLoginProcessStatusRequest(QNetworkAccessManager* manager, QObject* parent)
    : Request(manager, QString(), parent)
{
}

void GetLoginProcessStatusRequest::exec(const QString& uuid, const QString& clientId)
{
    QNetworkRequest request =
        networkRequest(QStringLiteral("/v1/user/logins/") + uuid + QStringLiteral("?client_id=") + clientId,
                       Authorization::None);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    sendGet(request);
}

void GetLoginProcessStatusRequest::responseHandler()
{
    const auto result = std::make_shared<LoginProcessResult>();
    handleReply(result, [&](const QJsonObject& object, const QByteArray&) {
        const auto readString = [&object](const char* key, QString& field) {
            const QJsonValue value = object.value(QLatin1String(key));
            if (value.isString())
                field = value.toString();
        };
        readString("status", result->status);
        readString("email", result->email);
        readString("token", result->token);
    });
}

void GetLoginProcessStatusRequest::handleFailedReply(QNetworkReply& reply, int httpStatus,
                                                     Result& result) const
{
    result.networkError.code = reply.error();
    result.networkError.message = reply.errorString();
    // The sign-in page must tell a process the service forgot ("unknown_login_uuid", sent with 400) from
    // other failures, so the first service error of these replies is kept whatever it is.
    if (httpStatus == 400 || httpStatus == 403 || httpStatus == 429) {
        const QVector<ApiError> errors = parseErrors(utils::replyToJsonObject(&reply));
        if (!errors.isEmpty()) {
            result.errors.append(errors.first());
            return;
        }
    }
    logWarning() << "Net error:" << reply.error() << reply.errorString();
}

} // namespace ZorvaneAPI
