#pragma once

#include "api/Result.h"
#include "api/http.h"

#include <QByteArray>
#include <QDebug>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QNetworkRequest>
#include <QObject>
#include <QString>
#include <QVector>

#include <functional>
#include <memory>
#include <optional>

class QHttpMultiPart;
class QNetworkAccessManager;
class QNetworkReply;

namespace ZorvaneAPI {

// Base of every typed call to the service. A request is made by the Provider with the shared network
// access manager and the token of that moment; the caller connects finished, calls the subclass's
// exec, and gets exactly one finished per reply, on success and on every failure alike. The
// receiver disposes of the request with deleteLater.
//
// Writing a request means adding only what is its own:
//  - className() returns the class name without the namespace;
//  - exec(...) builds the call with sendGet / sendJson / sendMultipart (or, for another verb,
//    networkRequest + the manager + watchReply); these add the base URL, the bearer token and the
//    User-Agent, and route the reply to responseHandler;
//  - the protected slot responseHandler() makes the concrete result and hands it, with the payload
//    step, to handleReply, which runs the shared reply procedure and emits finished once:
//
//        void GetFooRequest::responseHandler()
//        {
//            const auto result = std::make_shared<FooResult>();
//            handleReply(result, [&](const QJsonObject& object, const QByteArray& body) {
//                result->foo = readRecord<Foo>(object, "foo", body);
//            });
//        }
//
// The shared procedure: a sender that is not a reply gives "Invalid sender" and the result as made;
// otherwise the reply is disposed of, a successful reply's body must be a JSON object ("Failed to
// parse json:"), its "errors" fill the result ("Received error:", and finished without payload), and
// then the payload step runs; a redirect is a failure (failsAsRedirect); a failed reply sets the network
// error and, for HTTP 429, carries the first service error when it is a rate-limit id. The hooks below cover
// the requests that depart from it; the payload step is never called for a failed reply.
class Request : public QObject
{
    Q_OBJECT

public:
    // Throws std::runtime_error when manager is null.
    Request(QNetworkAccessManager* manager, const QString& token, QObject* parent = nullptr);
    ~Request() override;

    virtual QString className() const = 0;

    // Percent of a body sent or received, or nothing when there is no sensible share to report.
    static std::optional<int> progressPercent(qint64 bytesDone, qint64 bytesTotal);

    // Log streams in the category "default" that already begin with "[ClassName] ".
    QDebug logInfo() const;
    QDebug logWarning() const;

    // The bearer token it was made with.
    const QString& token() const { return m_token; }

signals:
    void finished(ZorvaneAPI::ResultPtr result);

protected slots:
    virtual void responseHandler() = 0;

protected:
    enum class Authorization { Bearer, None };
    // Fills the payload of the result from the reply's JSON object; body is for log lines.
    using PayloadReader = std::function<void(const QJsonObject& object, const QByteArray& body)>;

    QNetworkAccessManager* networkAccessManager() const { return m_manager; }

    // The API base URL followed by path, with the User-Agent, the transfer's time limit and, unless told
    // otherwise, the "Authorization" header.
    QNetworkRequest networkRequest(const QString& path, Authorization authorization = Authorization::Bearer,
                                   http::Transfer transfer = http::Transfer::Call) const;
    // Routes the reply's finished to responseHandler; the reply dies with this request at the latest.
    QNetworkReply* watchReply(QNetworkReply* reply);

    QNetworkReply* sendGet(const QNetworkRequest& request);
    // POSTs the object in its indented form as "application/json".
    QNetworkReply* sendJson(QNetworkRequest request, const QJsonObject& body);
    // POSTs the multipart body, which then belongs to the reply.
    QNetworkReply* sendMultipart(const QNetworkRequest& request, QHttpMultiPart* multipart);

    // Runs the shared reply procedure for the reply that sent responseHandler and emits finished
    // exactly once with result. Nothing of this request may be touched after it returns: the
    // receiver of finished may have deleted it.
    void handleReply(const ResultPtr& result, const PayloadReader& readPayload);

    // The first step of every reply procedure: the reply that sent the slot, with network access
    // restored and its disposal scheduled. Null after "Invalid sender" and finished with result.
    QNetworkReply* takeReply(const ResultPtr& result);

    // Payload steps for the records of the model. readRecord: the object member key as a record of
    // Record::fromJson, null after a warning when it is missing, not an object or not a valid record.
    template <typename Record>
    std::shared_ptr<Record> readRecord(const QJsonObject& object, const char* key,
                                       const QByteArray& body) const;
    // readRecordList: the array member key into records, in order, up to the first element that is not
    // a valid record (a warning). True when the whole list was read; the caller decides whether the
    // records before a bad one are still worth showing.
    template <typename Record>
    bool readRecordList(const QJsonObject& object, const char* key, const QByteArray& body,
                        QVector<std::shared_ptr<Record>>& records) const;

    // Hook: every reply, failed ones too, once its HTTP status (0 when absent) is known.
    virtual void replyReceived(QNetworkReply& reply, int httpStatus);
    // Hook: whether a successful reply that carries service errors goes on to the payload step.
    virtual bool continuesAfterServiceErrors(const QJsonObject& object) const;
    // Hook: whether a failed reply with this HTTP status is probed for a rate-limit error.
    virtual bool probesRateLimit(int httpStatus) const;
    // Hook: the failed-reply step itself (network error, rate-limit probe, log line), for requests
    // that read more of an error body than the probe does.
    virtual void handleFailedReply(QNetworkReply& reply, int httpStatus, Result& result) const;

    // Redirects are not followed, lest the token go along to another host, so a reply that ends in one
    // failed: true, with the result's network error set, for a 3xx status. handleReply applies it to
    // every request; a request that reads its reply itself calls it first.
    bool failsAsRedirect(int httpStatus, Result& result) const;

    // The failed-reply step of the uploads, whose receivers show every reason given: all service errors
    // of a 400, 403 or 429 reply are kept, and the first counts as a rate limit on 400 and 429 only.
    void handleRefusedUpload(QNetworkReply& reply, int httpStatus, Result& result) const;

private:
    QNetworkAccessManager* m_manager;
    QString m_token;
};

template <typename Record>
std::shared_ptr<Record> Request::readRecord(const QJsonObject& object, const char* key,
                                            const QByteArray& body) const
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (!value.isObject()) {
        logWarning() << (QByteArray("Response doesn't contain ") + key + " object:").constData() << body;
        return nullptr;
    }
    std::shared_ptr<Record> record = Record::fromJson(value.toObject());
    if (!record)
        logWarning() << "Received invalid results:" << body;
    return record;
}

template <typename Record>
bool Request::readRecordList(const QJsonObject& object, const char* key, const QByteArray& body,
                             QVector<std::shared_ptr<Record>>& records) const
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (!value.isArray()) {
        logWarning() << (QByteArray("Response doesn't contain ") + key + " array:").constData() << body;
        return false;
    }
    const QJsonArray elements = value.toArray();
    for (const QJsonValue& element : elements) {
        std::shared_ptr<Record> record = element.isObject() ? Record::fromJson(element.toObject()) : nullptr;
        if (!record) {
            logWarning() << "Received invalid results:" << body;
            return false;
        }
        records.append(std::move(record));
    }
    return true;
}

} // namespace ZorvaneAPI
