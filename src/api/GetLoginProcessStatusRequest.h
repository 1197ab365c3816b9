#pragma once

#include "api/Request.h"

namespace ZorvaneAPI {

// Asks for the state of a browser sign-in process; the sign-in page polls it until the process is
// completed. Never sends a token.
class GetLoginProcessStatusRequest : public Request
{
    Q_OBJECT

public:
    explicit GetLoginProcessStatusRequest(QNetworkAccessManager* manager, QObject* parent = nullptr);

    QString className() const override { return QStringLiteral("GetLoginProcessStatusRequest"); }

    // Answers with a LoginProcessResult.
    void exec(const QString& uuid, const QString& clientId);

protected slots:
    void responseHandler() override;

protected:
    void handleFailedReply(QNetworkReply& reply, int httpStatus, Result& result) const override;
};

} // namespace ZorvaneAPI
