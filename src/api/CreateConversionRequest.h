#pragma once

#include "api/Request.h"

namespace ZorvaneAPI {

// Asks the service to convert a PDF it holds into one format.
class CreateConversionRequest : public Request
{
    Q_OBJECT

public:
    using Request::Request;

    QString className() const override { return QStringLiteral("CreateConversionRequest"); }

    // Answers with a ConversionResult. filename is the PDF's name without folder and last extension;
    // format a key of the conversion format table.
    void exec(const QString& pdfId, const QString& filename, const QString& format);

protected slots:
    void responseHandler() override;
};

} // namespace ZorvaneAPI
