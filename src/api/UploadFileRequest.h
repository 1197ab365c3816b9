#pragma once

#include "api/Request.h"

#include <QByteArray>
#include <optional>

namespace ZorvaneAPI {

// Stores a file's bytes on the service (Base64 inside a JSON body) and answers with an
// UploadFileResult holding the address of the stored copy. Reports the share of the body sent.
class UploadFileRequest : public Request
{
    Q_OBJECT

public:
    using Request::Request;

    QString className() const override { return QStringLiteral("UploadFileRequest"); }

    void exec(const QByteArray& bytes);

    // The reply's "url" when it is a JSON string (possibly empty); nothing when missing or mistyped.
    static std::optional<QString> urlFrom(const QJsonObject& object);

signals:
    void progress(int progress);

protected slots:
    void responseHandler() override;
    void uploadProgressHandler(qlonglong bytesSent, qlonglong bytesTotal);

protected:
    void handleFailedReply(QNetworkReply& reply, int httpStatus, Result& result) const override;
};

} // namespace ZorvaneAPI
