#include "api/GetPdfsRequest.h"

#include "api/PdfsResult.h"
#include "api/UploadPdfRequest.h"

#include <QJsonArray>
#include <QJsonValue>
#include <QStringList>
#include <QUrl>

namespace ZorvaneAPI {

void GetPdfsRequest::exec(const QString& inputFile, int limit)
{
    QStringList items{QStringLiteral("deleted=%1").arg(0)};
    if (!inputFile.isEmpty()) {
        // Encoded, so that "&", "=", "+" and "#" in a name reach the service as the upload sent them.
        const QByteArray name = QUrl::toPercentEncoding(UploadPdfRequest::uploadName(inputFile));
        items << QStringLiteral("input_file=%1").arg(QString::fromLatin1(name));
    }
    if (limit != -1)
        items << QStringLiteral("limit=%1").arg(limit);
    sendGet(
        networkRequest(QStringLiteral("/v1/pdfs") + QStringLiteral("?%1").arg(items.join(QLatin1Char('&')))));
}

void GetPdfsRequest::responseHandler()
{
    const auto result = std::make_shared<PdfsResult>();
    handleReply(result, [&](const QJsonObject& object, const QByteArray& body) {
        const QJsonValue pdfs = object.value(QLatin1String("pdfs"));
        if (!pdfs.isArray()) {
            logWarning() << "Response doesn't contain pdfs array:" << body;
            return;
        }
        const QJsonArray elements = pdfs.toArray();
        for (const QJsonValue& element : elements) {
            auto pdf = element.isObject() ? ZorvanePDF::fromJson(element.toObject()) : nullptr;
            if (!pdf) {
                logWarning() << "Received invalid results:" << body;
                return;
            }
            result->pdfs.append(std::move(pdf));
        }
    });
}

} // namespace ZorvaneAPI
