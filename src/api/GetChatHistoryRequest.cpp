#include "api/GetChatHistoryRequest.h"

#include "api/ChatResult.h"

namespace ZorvaneAPI {

void GetChatHistoryRequest::exec(const QString& qeltId)
{
    sendGet(networkRequest(QStringLiteral("/v4/qelts/") + qeltId + QStringLiteral("/chat")));
}

void GetChatHistoryRequest::responseHandler()
{
    const auto result = std::make_shared<ChatResult>();
    handleReply(result, [&](const QJsonObject& object, const QByteArray& body) {
        readRecordList(object, "data", body, result->messages);
    });
}

bool GetChatHistoryRequest::probesRateLimit(int httpStatus) const
{
    return httpStatus == 403 || httpStatus == 429;
}

} // namespace ZorvaneAPI
