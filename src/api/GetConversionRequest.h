#pragma once

#include "api/Request.h"

namespace ZorvaneAPI {

// Fetches the state of a conversion; polled until the chosen format is completed.
class GetConversionRequest : public Request
{
    Q_OBJECT

public:
    using Request::Request;

    QString className() const override { return QStringLiteral("GetConversionRequest"); }

    // Answers with a ConversionResult. The id goes into the path as it is.
    void exec(const QString& conversionId);

protected slots:
    void responseHandler() override;
};

} // namespace ZorvaneAPI
