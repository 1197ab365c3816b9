#include "library/searchReply.h"

#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>

SearchReply readSearchReply(const QJsonDocument& reply)
{
    SearchReply result;
    const QJsonObject object = reply.object();
    const double total = object.value(QStringLiteral("results")).toDouble(0);
    result.total = total >= 1 ? int(std::min(total, double(kMaxSearchResults))) : 0;
    for (const QJsonValue& hit : object.value(QStringLiteral("hits")).toArray()) {
        ZorvaneQeltPtr qelt = ZorvaneQelt::fromSearchHit(hit.toObject());
        if (qelt && qelt->status != QStringLiteral("pending"))
            result.qelts.push_back(std::move(qelt));
    }
    return result;
}
