#include "api/GetPdfRequest.h"

#include "api/PdfResult.h"

#include <QJsonValue>

namespace ZorvaneAPI {

void GetPdfRequest::exec(const QString& pdfId)
{
    sendGet(networkRequest(QStringLiteral("/v1/pdfs/") + pdfId));
}

void GetPdfRequest::responseHandler()
{
    const auto result = std::make_shared<PdfResult>();
    handleReply(result, [&](const QJsonObject& object, const QByteArray& body) {
        const QJsonValue pdf = object.value(QLatin1String("pdf"));
        if (!pdf.isObject()) {
            logWarning() << "Response doesn't contain pdf object:" << body;
            return;
        }
        result->pdf = ZorvanePDF::fromJson(pdf.toObject());
        if (!result->pdf)
            logWarning() << "Received invalid results:" << body;
    });
}

} // namespace ZorvaneAPI
