#include "api/Request.h"

#include "api/http.h"
#include "core/identity.h"
#include "core/network.h"

#include <QHttpMultiPart>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>

#include <stdexcept>

namespace ZorvaneAPI {

namespace {

void registerResultType()
{
    static const int id = qRegisterMetaType<ZorvaneAPI::ResultPtr>("ZorvaneAPI::ResultPtr");
    Q_UNUSED(id)
}

QDebug prefixed(QDebug stream, const QString& className)
{
    stream.noquote() << QLatin1Char('[') + className + QLatin1Char(']');
    stream.quote();
    return stream;
}

} // namespace

Request::Request(QNetworkAccessManager* manager, const QString& token, QObject* parent)
    : QObject(parent), m_manager(manager), m_token(token)
{
    if (!m_manager)
        throw std::runtime_error("[ZorvaneAPI::Request] Network access manager is null");
    registerResultType();
}

Request::~Request() = default;

std::optional<int> Request::progressPercent(qint64 bytesDone, qint64 bytesTotal)
{
    if (bytesTotal == 0)
        return std::nullopt;
    const qint64 percent = bytesDone * 100 / bytesTotal;
    // The network layer reports a total of -1 while it does not know it yet.
    if (percent < 0 || percent > 100)
        return std::nullopt;
    return int(percent);
}

QDebug Request::logInfo() const
{
    return prefixed(QMessageLogger(nullptr, 0, nullptr, "default").info(), className());
}

QDebug Request::logWarning() const
{
    return prefixed(QMessageLogger(nullptr, 0, nullptr, "default").warning(), className());
}

QNetworkRequest Request::networkRequest(const QString& path, Authorization authorization,
                                        http::Transfer transfer) const
{
    const QString url = utils::apiUrl() + path;
    return authorization == Authorization::Bearer ? http::authorizedRequest(url, m_token, transfer)
                                                  : http::anonymousRequest(url, transfer);
}

QNetworkReply* Request::watchReply(QNetworkReply* reply)
{
    // A request dropped before its reply ends takes the reply with it instead of leaking it.
    reply->setParent(this);
    connect(reply, &QNetworkReply::finished, this, &Request::responseHandler);
    http::watchSilence(*reply);
    return reply;
}

QNetworkReply* Request::sendGet(const QNetworkRequest& request)
{
    return watchReply(m_manager->get(request));
}

QNetworkReply* Request::sendJson(QNetworkRequest request, const QJsonObject& body)
{
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    return watchReply(m_manager->post(request, QJsonDocument(body).toJson(QJsonDocument::Indented)));
}

QNetworkReply* Request::sendMultipart(const QNetworkRequest& request, QHttpMultiPart* multipart)
{
    QNetworkReply* reply = m_manager->post(request, multipart);
    multipart->setParent(reply);
    return watchReply(reply);
}

QNetworkReply* Request::takeReply(const ResultPtr& result)
{
    auto* reply = qobject_cast<QNetworkReply*>(sender());
    if (!reply) {
        logWarning() << "Invalid sender";
        emit finished(result);
        return nullptr;
    }
    http::settleReply(*reply);
    return reply;
}

void Request::handleReply(const ResultPtr& result, const PayloadReader& readPayload)
{
    QNetworkReply* reply = takeReply(result);
    if (!reply)
        return;

    const int httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    replyReceived(*reply, httpStatus);

    if (reply->error() != QNetworkReply::NoError) {
        handleFailedReply(*reply, httpStatus, *result);
        emit finished(result);
        return;
    }

    if (failsAsRedirect(httpStatus, *result)) {
        emit finished(result);
        return;
    }

    const QByteArray body = reply->readAll();
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (document.isEmpty() || !document.isObject()) {
        logWarning() << "Failed to parse json:" << body;
        emit finished(result);
        return;
    }
    const QJsonObject object = document.object();

    result->errors = parseErrors(object);
    if (!result->errors.isEmpty()) {
        QString text;
        for (const ApiError& error : qAsConst(result->errors))
            text += error.message + QLatin1Char('\n');
        logWarning() << "Received error:" << text;
        if (!continuesAfterServiceErrors(object)) {
            emit finished(result);
            return;
        }
    }

    if (readPayload)
        readPayload(object, body);
    emit finished(result);
}

void Request::handleFailedReply(QNetworkReply& reply, int httpStatus, Result& result) const
{
    result.networkError.code = reply.error();
    result.networkError.message = reply.errorString();

    if (probesRateLimit(httpStatus)) {
        const QVector<ApiError> errors = parseErrors(utils::replyToJsonObject(&reply));
        if (!errors.isEmpty() && isTooManyRequestsError(errors.first().id)) {
            logWarning() << "Found 429.";
            logInfo() << errors.first().message;
            result.errors.append(errors.first());
            return;
        }
    }
    logWarning() << "Net error:" << reply.error() << reply.errorString();
}

bool Request::failsAsRedirect(int httpStatus, Result& result) const
{
    if (!http::refusesRedirect(httpStatus, className()))
        return false;
    result.networkError.code = QNetworkReply::InsecureRedirectError;
    result.networkError.message = http::genericFailureText();
    return true;
}

void Request::handleRefusedUpload(QNetworkReply& reply, int httpStatus, Result& result) const
{
    result.networkError.code = reply.error();
    result.networkError.message = reply.errorString();
    if (httpStatus == 400 || httpStatus == 403 || httpStatus == 429) {
        result.errors = parseErrors(utils::replyToJsonObject(&reply));
        if (httpStatus != 403 && !result.errors.isEmpty() &&
            isTooManyRequestsError(result.errors.first().id)) {
            logWarning() << "Found 429.";
            logInfo() << result.errors.first().message;
            return;
        }
    }
    logWarning() << "Net error:" << reply.error() << reply.errorString();
}

void Request::replyReceived(QNetworkReply& reply, int httpStatus)
{
    Q_UNUSED(reply)
    Q_UNUSED(httpStatus)
}

bool Request::continuesAfterServiceErrors(const QJsonObject& object) const
{
    Q_UNUSED(object)
    return false;
}

bool Request::probesRateLimit(int httpStatus) const
{
    return httpStatus == 429;
}

} // namespace ZorvaneAPI
