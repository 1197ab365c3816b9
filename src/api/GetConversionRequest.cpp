#include "api/GetConversionRequest.h"

#include "api/ConversionResult.h"

namespace ZorvaneAPI {

void GetConversionRequest::exec(const QString& conversionId)
{
    sendGet(networkRequest(QStringLiteral("/v1/conversions/") + conversionId));
}

void GetConversionRequest::responseHandler()
{
    const auto result = std::make_shared<ConversionResult>();
    handleReply(result, [&](const QJsonObject& object, const QByteArray& body) {
        result->conversion = readRecord<ZorvaneConversion>(object, "conversion", body);
    });
}

} // namespace ZorvaneAPI
