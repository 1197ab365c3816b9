#include "api/CreateConversionRequest.h"

#include "api/ConversionResult.h"

#include <QJsonDocument>
#include <QNetworkAccessManager>

namespace ZorvaneAPI {

void CreateConversionRequest::exec(const QString& pdfId, const QString& filename, const QString& format)
{
    const QJsonObject body{{QStringLiteral("pdf_uuid"), pdfId},
                           {QStringLiteral("filename"), filename},
                           {QStringLiteral("formats"), QJsonObject{{format, true}}}};
    // The service has always taken this body without a content type of its own; Qt's default stays.
    watchReply(networkAccessManager()->post(networkRequest(QStringLiteral("/v1/conversions")),
                                            QJsonDocument(body).toJson(QJsonDocument::Indented)));
}

void CreateConversionRequest::responseHandler()
{
    const auto result = std::make_shared<ConversionResult>();
    handleReply(result, [&](const QJsonObject& object, const QByteArray& body) {
        result->conversion = readRecord<ZorvaneConversion>(object, "conversion", body);
    });
}

} // namespace ZorvaneAPI
