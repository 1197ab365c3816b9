#include "api/qeltReplies.h"

#include "api/CreateQeltTiming.h"
#include "api/QeltResult.h"
#include "api/Request.h"

#include <QNetworkReply>

namespace ZorvaneAPI::qeltReplies {

void readQelt(const Request& request, QeltResult& result, const QJsonObject& object, const QByteArray& body)
{
    result.qelt = ZorvaneQelt::fromJson(object);
    if (!result.qelt)
        request.logWarning() << "Received invalid results:" << body;
}

void readCreatedQelt(const Request& request, QeltResult& result, const QJsonObject& object,
                     const QByteArray& body, const QString& inputType)
{
    CreateQeltTiming& timing = CreateQeltTiming::instance();
    const QJsonObject times = object.value(QLatin1String("time_ms")).toObject();
    timing.serverReadBodyMs = times.value(QLatin1String("read_request_body")).toInt();
    timing.serverOcrMs = times.value(QLatin1String("ocr_api_response")).toInt();
    timing.qeltId = object.value(QLatin1String("id")).toString();
    timing.inputType = inputType;
    readQelt(request, result, object, body);
}

void recordCreateReply(const QNetworkReply& reply, int httpStatus)
{
    CreateQeltTiming& timing = CreateQeltTiming::instance();
    QByteArray requestId = reply.rawHeader("zorvane-request-id");
    const int nul = requestId.indexOf('\0');
    if (nul >= 0)
        requestId.truncate(nul);
    timing.requestId = QString::fromUtf8(requestId);
    timing.statusCode = httpStatus;
}

} // namespace ZorvaneAPI::qeltReplies
