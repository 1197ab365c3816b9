#pragma once

#include "api/Request.h"

namespace ZorvaneAPI {

// Fetches one Qelt by id; answers with a QeltResult. Every failed reply, HTTP 429 included, is a plain
// network error here.
class GetQeltRequest : public Request
{
    Q_OBJECT

public:
    using Request::Request;

    QString className() const override { return QStringLiteral("GetQeltRequest"); }

    void exec(const QString& qeltId);

protected slots:
    void responseHandler() override;

protected:
    bool probesRateLimit(int httpStatus) const override;
};

} // namespace ZorvaneAPI
