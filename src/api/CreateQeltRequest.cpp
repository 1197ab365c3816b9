#include "api/CreateQeltRequest.h"

#include "api/CreateQeltTiming.h"
#include "api/QeltResult.h"
#include "api/qeltReplies.h"

#include <QHttpMultiPart>

namespace ZorvaneAPI {

void CreateQeltRequest::exec(const QByteArray& image, const QByteArray& optionsJson)
{
    auto* multipart = new QHttpMultiPart(QHttpMultiPart::FormDataType);

    QHttpPart imagePart;
    imagePart.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("image/jpeg"));
    imagePart.setHeader(QNetworkRequest::ContentDispositionHeader,
                        QStringLiteral("form-data; name=\"file\"; filename=\"image.jpg\""));
    imagePart.setBody(image);
    multipart->append(imagePart);

    QHttpPart optionsPart;
    optionsPart.setHeader(QNetworkRequest::ContentDispositionHeader,
                          QStringLiteral("form-data; name=\"options_json\""));
    optionsPart.setBody(optionsJson);
    multipart->append(optionsPart);

    const QNetworkRequest request =
        networkRequest(QStringLiteral("/v1/qelts-multipart"), Authorization::Bearer, http::Transfer::Work);
    CreateQeltTiming::instance().sentStamp = CreateQeltTiming::now();
    sendMultipart(request, multipart);
}

void CreateQeltRequest::responseHandler()
{
    CreateQeltTiming::instance().receivedStamp = CreateQeltTiming::now();
    const auto result = std::make_shared<QeltResult>();
    handleReply(result, [&](const QJsonObject& object, const QByteArray& body) {
        qeltReplies::readCreatedQelt(*this, *result, object, body, QStringLiteral("crop"));
    });
}

void CreateQeltRequest::replyReceived(QNetworkReply& reply, int httpStatus)
{
    qeltReplies::recordCreateReply(reply, httpStatus);
}

bool CreateQeltRequest::continuesAfterServiceErrors(const QJsonObject& object) const
{
    return object.value(QLatin1String("id")).isString();
}

} // namespace ZorvaneAPI
