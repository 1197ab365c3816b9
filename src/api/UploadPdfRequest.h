#pragma once

#include "api/Request.h"

namespace ZorvaneAPI {

// Uploads a local PDF with its processing options. The service stores it under its file name, by
// which GetPdfsRequest finds it again.
class UploadPdfRequest : public Request
{
    Q_OBJECT

public:
    using Request::Request;

    QString className() const override { return QStringLiteral("UploadPdfRequest"); }

    // Answers with a PdfResult. A file that cannot be opened ends with finished before exec returns,
    // so connect first.
    void exec(const QString& filePath, const QByteArray& optionsJson);

    // The name a file is uploaded and looked up under: its name with control characters other than
    // line breaks, which the upload encodes, turned into spaces.
    static QString uploadName(const QString& fileName);

signals:
    // Share of the body sent so far, 0 to 100.
    void progress(int progress);

protected slots:
    void responseHandler() override;
    void uploadProgressHandler(qlonglong bytesSent, qlonglong bytesTotal);

protected:
    void handleFailedReply(QNetworkReply& reply, int httpStatus, Result& result) const override;
};

} // namespace ZorvaneAPI
