#pragma once

#include "api/Request.h"

namespace ZorvaneAPI {

// Deletes the stored chat about one Qelt.
class ClearChatHistoryRequest : public Request
{
    Q_OBJECT

public:
    using Request::Request;

    QString className() const override { return QStringLiteral("ClearChatHistoryRequest"); }

    // Answers with a plain Result: no error means the chat is gone.
    void exec(const QString& qeltId);

protected slots:
    void responseHandler() override;

protected:
    bool probesRateLimit(int httpStatus) const override;
};

} // namespace ZorvaneAPI
