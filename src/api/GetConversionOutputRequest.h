#pragma once

#include "api/Request.h"

namespace ZorvaneAPI {

// Downloads one conversion output from the path that a conversion or PDF record names for it.
class GetConversionOutputRequest : public Request
{
    Q_OBJECT

public:
    using Request::Request;

    QString className() const override { return QStringLiteral("GetConversionOutputRequest"); }

    // Answers with a ConversionOutputResult. The path comes from the service; one that would lead
    // off the API host (and take the token with it) is refused without sending anything. A redirect is
    // not followed and ends without output.
    void exec(const QString& path);

    // True for a path that starts with a single "/" and, appended to the API base URL, stays on its host.
    static bool isOutputPathOnApiHost(const QString& path);

signals:
    // Share of the output received so far, 0 to 100.
    void progress(int progress);

protected slots:
    void responseHandler() override;
    void downloadProgressHandler(qlonglong bytesReceived, qlonglong bytesTotal);
};

} // namespace ZorvaneAPI
