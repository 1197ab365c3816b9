#pragma once

#include "api/Request.h"

namespace ZorvaneAPI {

// Uploads a JPEG with its recognition options; answers with a QeltResult. Fills the recognition
// timing record.
class CreateQeltRequest : public Request
{
    Q_OBJECT

public:
    using Request::Request;

    QString className() const override { return QStringLiteral("CreateQeltRequest"); }

    // image: the JPEG bytes; optionsJson: the serialised options object, sent unchanged.
    void exec(const QByteArray& image, const QByteArray& optionsJson);

protected slots:
    void responseHandler() override;

protected:
    void replyReceived(QNetworkReply& reply, int httpStatus) override;
    // The service may report errors beside a Qelt it made anyway: keep both.
    bool continuesAfterServiceErrors(const QJsonObject& object) const override;
};

} // namespace ZorvaneAPI
