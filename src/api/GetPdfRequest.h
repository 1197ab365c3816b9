#pragma once

#include "api/Request.h"

namespace ZorvaneAPI {

// Fetches the current state of one stored PDF; polled until the service has processed it.
class GetPdfRequest : public Request
{
    Q_OBJECT

public:
    using Request::Request;

    QString className() const override { return QStringLiteral("GetPdfRequest"); }

    // Answers with a PdfResult. The id goes into the path as it is.
    void exec(const QString& pdfId);

protected slots:
    void responseHandler() override;
};

} // namespace ZorvaneAPI
