#include "api/UploadFileRequest.h"

#include "api/UploadFileResult.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>

namespace ZorvaneAPI {

void UploadFileRequest::exec(const QByteArray& bytes)
{
    const QJsonObject body{{QStringLiteral("data"), QString::fromLatin1(bytes.toBase64())}};
    QNetworkReply* reply = sendJson(
        networkRequest(QStringLiteral("/v1/export/upload"), Authorization::Bearer, http::Transfer::Work),
        body);
    connect(reply, &QNetworkReply::uploadProgress, this, &UploadFileRequest::uploadProgressHandler);
}

std::optional<QString> UploadFileRequest::urlFrom(const QJsonObject& object)
{
    const QJsonValue url = object.value(QStringLiteral("url"));
    if (!url.isString())
        return std::nullopt;
    return url.toString();
}

void UploadFileRequest::uploadProgressHandler(qlonglong bytesSent, qlonglong bytesTotal)
{
    if (const auto percent = progressPercent(bytesSent, bytesTotal))
        emit progress(*percent);
}

void UploadFileRequest::responseHandler()
{
    const auto result = std::make_shared<UploadFileResult>();
    handleReply(result, [&](const QJsonObject& object, const QByteArray& body) {
        const auto url = urlFrom(object);
        if (!url) {
            logWarning() << "Response doesn't contain uploaded file url:" << body;
            return;
        }
        result->url = *url;
        if (result->url.isEmpty())
            logWarning() << "Received invalid results:" << body;
    });
}

void UploadFileRequest::handleFailedReply(QNetworkReply& reply, int httpStatus, Result& result) const
{
    handleRefusedUpload(reply, httpStatus, result);
}

} // namespace ZorvaneAPI
