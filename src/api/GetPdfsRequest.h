#pragma once

#include "api/Request.h"

namespace ZorvaneAPI {

// Lists the stored PDFs uploaded under a file name: how the client learns that a file was uploaded
// before.
class GetPdfsRequest : public Request
{
    Q_OBJECT

public:
    using Request::Request;

    QString className() const override { return QStringLiteral("GetPdfsRequest"); }

    // Answers with a PdfsResult. An empty inputFile lists every PDF; a limit of -1 sets none.
    void exec(const QString& inputFile, int limit);

protected slots:
    void responseHandler() override;
};

} // namespace ZorvaneAPI
