#include "api/GetPdfsRequest.h"

#include "api/PdfsResult.h"
#include "api/UploadPdfRequest.h"

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
        // A short list would read as "not uploaded yet" and have the page upload the same file again.
        result->listRead = readRecordList(object, "pdfs", body, result->pdfs);
        if (!result->listRead)
            result->pdfs.clear();
    });
}

} // namespace ZorvaneAPI
