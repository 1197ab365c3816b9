#include "api/CreateQeltFromStrokesRequest.h"

#include "api/CreateQeltTiming.h"
#include "api/QeltResult.h"
#include "api/qeltReplies.h"
#include "core/settings.h"

#include <QJsonArray>

namespace ZorvaneAPI {

void CreateQeltFromStrokesRequest::exec(const QVector<QVector<QPointF>>& strokes)
{
    CreateQeltTiming::instance().sentStamp = CreateQeltTiming::now();

    QJsonArray xs, ys;
    for (const QVector<QPointF>& stroke : strokes) {
        QJsonArray x, y;
        for (const QPointF& point : stroke) {
            x.append(point.x());
            y.append(point.y());
        }
        xs.append(x);
        ys.append(y);
    }
    const QJsonObject body{
        {QStringLiteral("strokes"), QJsonObject{{QStringLiteral("x"), xs}, {QStringLiteral("y"), ys}}},
        {QStringLiteral("config"), QJsonObject{{QStringLiteral("zmd_version"), QStringLiteral("1.2.17")}}},
        {QStringLiteral("include_diagrams"), kKeyEnhancedDiagramData.get()},
    };
    sendJson(networkRequest(QStringLiteral("/v1/qelts/strokes"), Authorization::Bearer, http::Transfer::Work),
             body);
}

void CreateQeltFromStrokesRequest::responseHandler()
{
    CreateQeltTiming::instance().receivedStamp = CreateQeltTiming::now();
    const auto result = std::make_shared<QeltResult>();
    handleReply(result, [&](const QJsonObject& object, const QByteArray& body) {
        qeltReplies::readCreatedQelt(*this, *result, object, body, QStringLiteral("strokes"));
    });
}

void CreateQeltFromStrokesRequest::replyReceived(QNetworkReply& reply, int httpStatus)
{
    qeltReplies::recordCreateReply(reply, httpStatus);
}

} // namespace ZorvaneAPI
