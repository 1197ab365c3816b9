#include "api/replyStandIns.h"

#include "core/network.h"

namespace ZorvaneAPI::standIn {

void restoreNetworkAccess(QNetworkReply* reply)
{
    utils::restoreNetworkAccess(reply);
}

QJsonObject replyToJsonObject(QNetworkReply* reply)
{
    return utils::replyToJsonObject(reply);
}

} // namespace ZorvaneAPI::standIn
