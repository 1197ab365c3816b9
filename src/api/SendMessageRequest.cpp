#include "api/SendMessageRequest.h"

#include "api/SendMessageResult.h"
#include "api/eventStream.h"
#include "core/network.h"

#include <QJsonValue>
#include <QNetworkReply>

namespace ZorvaneAPI {

void SendMessageRequest::exec(const QString& qeltId, const QString& qeltContent, const QString& query)
{
    QNetworkRequest request =
        networkRequest(QStringLiteral("/v4/qelt-chat"), Authorization::Bearer, http::Transfer::Work);
    request.setRawHeader("Accept", "text/event-stream");
    QNetworkReply* reply = sendJson(request, QJsonObject{{QStringLiteral("query"), query},
                                                         {QStringLiteral("qelt_id"), qeltId},
                                                         {QStringLiteral("qelt_content"), qeltContent}});
    connect(reply, &QIODevice::readyRead, this, &SendMessageRequest::streamReceived);
    m_lastAnswer.clear();
}

void SendMessageRequest::streamReceived()
{
    auto* reply = qobject_cast<QNetworkReply*>(sender());
    if (!reply) {
        logWarning() << "Invalid sender";
        return;
    }
    utils::restoreNetworkAccess(reply);
    // Neither an error reply (a JSON error document, left for streamFinished) nor a redirect carries
    // events.
    if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() >= 300)
        return;

    const QByteArray payload = eventStream::takeLastPayload(*reply);
    if (payload.isEmpty())
        return;
    const eventStream::Answer answer = eventStream::parseAnswer(payload);
    if (answer.error != eventStream::PayloadError::None) {
        logWarning() << eventStream::payloadErrorText(answer.error) << payload;
        return;
    }
    m_lastAnswer = answer.text;
    const auto result = std::make_shared<SendMessageResult>();
    result->text = answer.text;
    emit finished(result);
}

void SendMessageRequest::responseHandler()
{
    streamFinished();
}

void SendMessageRequest::streamFinished()
{
    const auto result = std::make_shared<SendMessageResult>();
    QNetworkReply* reply = takeReply(result);
    if (!reply)
        return;
    const int httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();

    if (reply->error() == QNetworkReply::NoError) {
        if (failsAsRedirect(httpStatus, *result)) {
            emit finished(result);
            return;
        }
        result->text = m_lastAnswer;
        result->finished = true;
        emit finished(result);
        return;
    }

    result->networkError.code = reply->error();
    result->networkError.message = reply->errorString();
    if (httpStatus == 429) {
        const QJsonObject body = utils::replyToJsonObject(reply);
        const QVector<ApiError> errors = parseErrors(body);
        if (!errors.isEmpty() && isTooManyRequestsError(errors.first().id)) {
            logWarning() << "Found 429.";
            logInfo() << errors.first().message;
            result->errors.append(errors.first());
            emit finished(result);
            return;
        }
        const QJsonValue message = body.value(QLatin1String("message"));
        if (errors.isEmpty() && message.isString())
            result->message = message.toString();
    }
    logWarning() << "Net error:" << reply->error() << reply->errorString();
    emit finished(result);
}

} // namespace ZorvaneAPI
