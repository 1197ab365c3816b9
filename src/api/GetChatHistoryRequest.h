#pragma once

#include "api/Request.h"

namespace ZorvaneAPI {

// Reads the stored chat about one Qelt.
class GetChatHistoryRequest : public Request
{
    Q_OBJECT

public:
    using Request::Request;

    QString className() const override { return QStringLiteral("GetChatHistoryRequest"); }

    // Answers with a ChatResult. The id goes into the path as it is.
    void exec(const QString& qeltId);

protected slots:
    void responseHandler() override;

protected:
    bool probesRateLimit(int httpStatus) const override;
};

} // namespace ZorvaneAPI
