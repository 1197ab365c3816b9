#pragma once

#include "api/Request.h"

namespace ZorvaneAPI {

// Opens a browser sign-in process for a client identifier of our choosing. Made before any token
// exists, so it never sends one.
class GenerateLoginProcessIdRequest : public Request
{
    Q_OBJECT

public:
    explicit GenerateLoginProcessIdRequest(QNetworkAccessManager* manager, QObject* parent = nullptr);

    QString className() const override { return QStringLiteral("GenerateLoginProcessIdRequest"); }

    // Answers with a LoginIdResult.
    void exec(const QString& clientId);

protected slots:
    void responseHandler() override;
};

} // namespace ZorvaneAPI
