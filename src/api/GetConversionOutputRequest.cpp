#include "api/GetConversionOutputRequest.h"

#include "api/ConversionOutputResult.h"
#include "api/http.h"
#include "core/identity.h"

#include <QCoreApplication>
#include <QNetworkReply>
#include <QTimer>
#include <QUrl>

namespace ZorvaneAPI {

namespace {

void takeOutput(const Request& request, ConversionOutputResult& result, const QByteArray& body)
{
    result.output = std::make_shared<ZorvaneConversionOutput>();
    // An empty body stays a null array, so that the output reads as not valid.
    if (!body.isEmpty())
        result.output->data = body;
    if (!result.output->isValid())
        request.logWarning() << "Received invalid results:" << body;
}

// The media type without its parameters, in lower case: "application/json; charset=utf-8" is JSON too.
QByteArray mediaType(const QByteArray& contentType)
{
    return contentType.split(';').first().trimmed().toLower();
}

} // namespace

bool GetConversionOutputRequest::isOutputPathOnApiHost(const QString& path)
{
    if (!path.startsWith(QLatin1Char('/')) || path.startsWith(QLatin1String("//")))
        return false;
    const QUrl base(utils::apiUrl());
    const QUrl url(utils::apiUrl() + path, QUrl::TolerantMode);
    return url.isValid() && url.scheme() == base.scheme() && url.host() == base.host() &&
           url.port() == base.port() && url.userInfo().isEmpty();
}

void GetConversionOutputRequest::exec(const QString& path)
{
    if (!isOutputPathOnApiHost(path)) {
        logWarning() << "Refused output path:" << path;
        const auto result = std::make_shared<ConversionOutputResult>();
        result->networkError.code = QNetworkReply::ProtocolInvalidOperationError;
        result->networkError.message = QCoreApplication::translate(
            "GetConversionOutputRequest", "The output address is not on the service.");
        // Like every download, the answer comes after exec has returned.
        QTimer::singleShot(0, this, [this, result] { emit finished(result); });
        return;
    }
    QNetworkRequest request = networkRequest(path);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    QNetworkReply* reply = sendGet(request);
    connect(reply, &QNetworkReply::downloadProgress, this,
            &GetConversionOutputRequest::downloadProgressHandler);
}

void GetConversionOutputRequest::downloadProgressHandler(qlonglong bytesReceived, qlonglong bytesTotal)
{
    if (const auto percent = progressPercent(bytesReceived, bytesTotal))
        emit progress(*percent);
}

void GetConversionOutputRequest::responseHandler()
{
    const auto result = std::make_shared<ConversionOutputResult>();
    auto* reply = qobject_cast<QNetworkReply*>(sender());
    // Only a 2xx JSON body may be an error document (no conversion format is JSON); any other 2xx body
    // is the output itself, whatever it looks like. A redirect's page is neither: handleReply fails it.
    const int httpStatus = reply ? reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() : 0;
    if (reply && reply->error() == QNetworkReply::NoError && httpStatus >= 200 && httpStatus <= 299 &&
        mediaType(reply->rawHeader("Content-Type")) != "application/json") {
        http::settleReply(*reply);
        takeOutput(*this, *result, reply->readAll());
        emit finished(result);
        return;
    }
    handleReply(result,
                [&](const QJsonObject&, const QByteArray& body) { takeOutput(*this, *result, body); });
}

} // namespace ZorvaneAPI
