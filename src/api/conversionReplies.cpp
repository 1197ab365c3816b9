#include "api/conversionReplies.h"

#include "api/ConversionResult.h"
#include "api/Request.h"

#include <QJsonValue>

namespace ZorvaneAPI {

void readConversion(const Request& request, ConversionResult& result, const QJsonObject& object,
                    const QByteArray& body)
{
    const QJsonValue conversion = object.value(QLatin1String("conversion"));
    if (!conversion.isObject()) {
        request.logWarning() << "Response doesn't contain conversion object:" << body;
        return;
    }
    result.conversion = ZorvaneConversion::fromJson(conversion.toObject());
    if (!result.conversion)
        request.logWarning() << "Received invalid results:" << body;
}

} // namespace ZorvaneAPI
