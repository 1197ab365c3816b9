#include "api/GetPdfRequest.h"

#include "api/PdfResult.h"

namespace ZorvaneAPI {

void GetPdfRequest::exec(const QString& pdfId)
{
    sendGet(networkRequest(QStringLiteral("/v1/pdfs/") + pdfId));
}

void GetPdfRequest::responseHandler()
{
    const auto result = std::make_shared<PdfResult>();
    handleReply(result, [&](const QJsonObject& object, const QByteArray& body) {
        result->pdf = readRecord<ZorvanePDF>(object, "pdf", body);
    });
}

} // namespace ZorvaneAPI
