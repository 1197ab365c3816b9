#include "library/searchReply.h"

#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>

SearchReply readSearchReply(const QJsonDocument& reply)
{
    SearchReply result;
    const QJsonObject object = reply.object();
    result.total = std::max(0, object.value(QStringLiteral("results")).toInt(0));
    for (const QJsonValue& hit : object.value(QStringLiteral("hits")).toArray()) {
        ZorvaneQeltPtr qelt = ZorvaneQelt::fromSearchHit(hit.toObject());
        if (qelt && qelt->status != QStringLiteral("pending"))
            result.qelts.push_back(std::move(qelt));
    }
    return result;
}
