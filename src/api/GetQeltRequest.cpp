#include "api/GetQeltRequest.h"

#include "api/QeltResult.h"
#include "api/qeltReplies.h"

namespace ZorvaneAPI {

void GetQeltRequest::exec(const QString& qeltId)
{
    sendGet(networkRequest(QStringLiteral("/v1/qelts/") + qeltId));
}

void GetQeltRequest::responseHandler()
{
    const auto result = std::make_shared<QeltResult>();
    handleReply(result, [&](const QJsonObject& object, const QByteArray& body) {
        qeltReplies::readQelt(*this, *result, object, body);
    });
}

bool GetQeltRequest::probesRateLimit(int httpStatus) const
{
    Q_UNUSED(httpStatus)
    return false;
}

} // namespace ZorvaneAPI
