#include "api/ClearChatHistoryRequest.h"

#include <QNetworkAccessManager>

namespace ZorvaneAPI {

void ClearChatHistoryRequest::exec(const QString& qeltId)
{
    watchReply(networkAccessManager()->deleteResource(
        networkRequest(QStringLiteral("/v4/qelts/") + qeltId + QStringLiteral("/chat"))));
}

void ClearChatHistoryRequest::responseHandler()
{
    // Only the shared procedure: an empty or non-JSON body is logged and still counts as success (a
    // redirect does not).
    handleReply(std::make_shared<Result>(), nullptr);
}

bool ClearChatHistoryRequest::probesRateLimit(int httpStatus) const
{
    return httpStatus == 403 || httpStatus == 429;
}

} // namespace ZorvaneAPI
