#include "api/GetChatHistoryRequest.h"

#include "api/ChatResult.h"

#include <QJsonArray>
#include <QJsonValue>

namespace ZorvaneAPI {

void GetChatHistoryRequest::exec(const QString& qeltId)
{
    sendGet(networkRequest(QStringLiteral("/v4/qelts/") + qeltId + QStringLiteral("/chat")));
}

void GetChatHistoryRequest::responseHandler()
{
    const auto result = std::make_shared<ChatResult>();
    handleReply(result, [&](const QJsonObject& object, const QByteArray& body) {
        const QJsonValue data = object.value(QLatin1String("data"));
        if (!data.isArray()) {
            logWarning() << "Response doesn't contain data array:" << body;
            return;
        }
        const QJsonArray elements = data.toArray();
        for (const QJsonValue& element : elements) {
            auto message = element.isObject() ? ZorvaneQeltChatMsg::fromJson(element.toObject()) : nullptr;
            // The exchanges before a bad one are still worth showing.
            if (!message) {
                logWarning() << "Received invalid results:" << body;
                return;
            }
            result->messages.append(std::move(message));
        }
    });
}

bool GetChatHistoryRequest::probesRateLimit(int httpStatus) const
{
    return httpStatus == 403 || httpStatus == 429;
}

} // namespace ZorvaneAPI
