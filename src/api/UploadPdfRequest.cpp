#include "api/UploadPdfRequest.h"

#include "api/PdfResult.h"

#include <QFile>
#include <QFileInfo>
#include <QHttpMultiPart>
#include <QNetworkReply>

namespace ZorvaneAPI {

namespace {

// The file name as a quoted string of the Content-Disposition header, encoded as browsers encode
// form data: '"' as %22, CR as %0D and LF as %0A, everything else (backslashes too) as it is.
QByteArray quotedFileName(const QString& name)
{
    QByteArray quoted = name.toUtf8();
    quoted.replace('"', "%22").replace('\r', "%0D").replace('\n', "%0A");
    return '"' + quoted + '"';
}

} // namespace

QString UploadPdfRequest::uploadName(const QString& fileName)
{
    QString name = fileName;
    for (QChar& c : name) {
        if (c.category() == QChar::Other_Control && c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            c = QLatin1Char(' ');
    }
    return name;
}

void UploadPdfRequest::exec(const QString& filePath, const QByteArray& optionsJson)
{
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly)) {
        logWarning() << "Can't open file" << filePath;
        emit finished(std::make_shared<PdfResult>());
        return;
    }

    auto* multipart = new QHttpMultiPart(QHttpMultiPart::FormDataType);
    QHttpPart filePart;
    filePart.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/pdf"));
    filePart.setRawHeader("Content-Disposition",
                          "form-data; name=\"file\"; filename=" +
                              quotedFileName(uploadName(QFileInfo(filePath).fileName())));
    // The only copy of the file in memory; the part shares it until the reply is gone.
    filePart.setBody(file.readAll());
    multipart->append(filePart);

    QHttpPart optionsPart;
    optionsPart.setRawHeader("Content-Disposition", "form-data; name=\"options_json\"");
    optionsPart.setBody(optionsJson);
    multipart->append(optionsPart);

    QNetworkReply* reply = sendMultipart(
        networkRequest(QStringLiteral("/v1/pdfs"), Authorization::Bearer, http::Transfer::Work), multipart);
    connect(reply, &QNetworkReply::uploadProgress, this, &UploadPdfRequest::uploadProgressHandler);
}

void UploadPdfRequest::uploadProgressHandler(qlonglong bytesSent, qlonglong bytesTotal)
{
    if (const auto percent = progressPercent(bytesSent, bytesTotal))
        emit progress(*percent);
}

void UploadPdfRequest::responseHandler()
{
    const auto result = std::make_shared<PdfResult>();
    handleReply(result, [&](const QJsonObject& object, const QByteArray& body) {
        result->pdf = readRecord<ZorvanePDF>(object, "pdf", body);
    });
}

void UploadPdfRequest::handleFailedReply(QNetworkReply& reply, int httpStatus, Result& result) const
{
    // The upload keeps every service error of a refused file, not only a rate-limit one.
    handleRefusedUpload(reply, httpStatus, result);
}

} // namespace ZorvaneAPI
