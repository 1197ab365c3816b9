#include "api/APIHandler.h"

#include "api/CreateQeltTiming.h"
#include "api/http.h"
#include "core/identity.h"
#include "core/settings.h"
#include "core/userState.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QJsonArray>
#include <QMutexLocker>
#include <QNetworkAccessManager>
#include <QNetworkInterface>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QThread>
#include <QTimer>

#include <atomic>

namespace {

const QString kLogsPath = QStringLiteral("/v1/logs");

// -1: ask the machine; 0 or 1: the answer a test asked for.
std::atomic<int> networkOverride{-1};
std::atomic<int> flushIntervalMs{APIHandler::kLogFlushIntervalMs};
std::atomic<int> blockingSendTimeoutMs{APIHandler::kBlockingSendTimeoutMs};

QJsonObject failure(const QString& id, const QString& message)
{
    return QJsonObject{{QStringLiteral("id"), id}, {QStringLiteral("message"), message}};
}

QJsonObject networkUnreachable()
{
    return failure(
        QStringLiteral("network_unreachable"),
        APIHandler::tr("Could not access server. Please check your network connection and try again."));
}

QJsonObject tokenMissing()
{
    return failure(QStringLiteral("token_missing"), APIHandler::tr("Token is missing."));
}

QJsonObject genericFailure()
{
    return failure(QStringLiteral("network_unreachable"), ZorvaneAPI::http::genericFailureText());
}

// The first step of both reply handlers: the reply is disposed of, and a transport or HTTP error goes
// to fail. True when the reply failed and its handling is over.
bool settleReply(QNetworkReply* reply, const APIHandler::FailCallback& fail)
{
    ZorvaneAPI::http::settleReply(*reply);
    if (reply->error() == QNetworkReply::NoError) {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (!ZorvaneAPI::http::refusesRedirect(status, QStringLiteral("APIHandler")))
            return false;
        if (fail)
            fail(genericFailure());
        return true;
    }
    qWarning() << "Send Request error: " << reply->error() << reply->errorString();
    if (!fail)
        return true;
    QJsonObject reason = failure(QStringLiteral("network_reply_error"), reply->errorString());
    // Whether trying again can help is the caller's call: a refusal for good is told by its status.
    if (const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(); status > 0)
        reason.insert(QStringLiteral("http_status"), status);
    fail(reason);
    return true;
}

bool isKnownMethod(const QString& method)
{
    return method == QLatin1String("GET") || method == QLatin1String("POST") ||
           method == QLatin1String("PATCH") || method == QLatin1String("DELETE");
}

// Read anew for every send and every record: sign-in and sign-out only change the stored account.
QString storedToken()
{
    return utils::authInfo().second;
}

qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

QJsonObject stamped(const QString& event)
{
    return QJsonObject{{QStringLiteral("timestamp"), nowMs()}, {QStringLiteral("event"), event}};
}

} // namespace

APIHandler::APIHandler()
{
    m_flushTimer = new QTimer(this);
    m_flushTimer->setSingleShot(true);
    connect(m_flushTimer, &QTimer::timeout, this, [this] { _flush_logs(false); });

    // The batch's timer and the network manager belong to the GUI thread, even when the first record
    // comes from a worker.
    if (auto* app = QCoreApplication::instance(); app && thread() != app->thread())
        moveToThread(app->thread());
}

APIHandler* APIHandler::instance()
{
    static APIHandler handler;
    return &handler;
}

void APIHandler::init(QNetworkAccessManager* manager)
{
    instance()->m_networkManager = manager;
}

bool APIHandler::isNetworkAvailable()
{
    if (const int forced = networkOverride.load(); forced >= 0)
        return forced == 1;
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& iface : interfaces) {
        const auto flags = iface.flags();
        if (flags.testFlag(QNetworkInterface::IsUp) && !flags.testFlag(QNetworkInterface::IsLoopBack) &&
            !iface.addressEntries().isEmpty())
            return true;
    }
    return false;
}

void APIHandler::overrideNetworkAvailabilityForTesting(std::optional<bool> available)
{
    networkOverride = available ? int(*available) : -1;
}

void APIHandler::setLogFlushIntervalForTesting(int ms)
{
    flushIntervalMs = ms;
}

void APIHandler::setBlockingSendTimeoutForTesting(int ms)
{
    blockingSendTimeoutMs = ms;
}

// ---- Sending ----

void APIHandler::send(QString api, QString method, QJsonObject body, SuccessCallback success,
                      FailCallback fail)
{
    instance()->_send(api, method, body, success, fail, false);
}

void APIHandler::send_byte(QString api, QString method, QJsonObject body, ByteCallback success,
                           FailCallback fail)
{
    instance()->_send_byte(api, method, body, success, fail);
}

void APIHandler::runOnOwnThread(std::function<void()> work)
{
    if (QThread::currentThread() == thread())
        work();
    else
        QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}

void APIHandler::_send(const QString& api, const QString& method, const QJsonObject& body,
                       const SuccessCallback& callback_success, const FailCallback& callback_fail,
                       bool useLocalEventLoop)
{
    sendJson(storedToken(), api, method, body, callback_success, callback_fail, useLocalEventLoop);
}

QNetworkReply* APIHandler::startRequest(const QString& token, const QString& baseUrl, const QString& api,
                                        const QString& method, const QJsonObject& body,
                                        const FailCallback& fail)
{
    const auto refuse = [&fail](const QJsonObject& reason) -> QNetworkReply* {
        if (fail)
            fail(reason);
        return nullptr;
    };
    if (!isNetworkAvailable())
        return refuse(networkUnreachable());
    if (token.isEmpty())
        return refuse(tokenMissing());
    if (!m_networkManager) {
        qWarning() << "[APIHandler] No network access manager, not sending" << method << api;
        return refuse(failure(QStringLiteral("network_reply_error"), ZorvaneAPI::http::genericFailureText()));
    }
    if (!isKnownMethod(method)) {
        qWarning() << "[APIHandler] Unsupported method" << method << "for" << api;
        return refuse(failure(QStringLiteral("network_reply_error"), ZorvaneAPI::http::genericFailureText()));
    }

    QNetworkRequest request = ZorvaneAPI::http::authorizedRequest(baseUrl + api, token);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));

    if (method == QLatin1String("GET"))
        return m_networkManager->get(request);
    const QByteArray data = QJsonDocument(body).toJson(QJsonDocument::Indented);
    if (method == QLatin1String("POST"))
        return m_networkManager->post(request, data);
    return m_networkManager->sendCustomRequest(request, method.toLatin1(), data);
}

void APIHandler::sendJson(const QString& token, const QString& api, const QString& method,
                          const QJsonObject& body, const SuccessCallback& success, const FailCallback& fail,
                          bool useLocalEventLoop)
{
    if (QThread::currentThread() != thread()) {
        qWarning() << "[APIHandler] Send from a worker thread, handing it to the GUI thread:" << api;
        runOnOwnThread([=] { sendJson(token, api, method, body, success, fail, false); });
        return;
    }
    const QString base = api == kLogsPath ? utils::gatewayUrl() : utils::apiUrl();
    QNetworkReply* reply = startRequest(token, base, api, method, body, fail);
    if (!reply)
        return;

    connect(reply, &QNetworkReply::finished, this, [reply, success, fail] {
        if (settleReply(reply, fail))
            return;
        const ReplyOutcome outcome = interpretJsonReply(reply->readAll());
        if (outcome.success) {
            if (success)
                success(outcome.document);
            return;
        }
        if (outcome.document.isNull())
            qWarning() << "Server returned invalid json.";
        if (fail)
            fail(outcome.failure);
    });

    if (useLocalEventLoop)
        waitForReply(reply);
}

void APIHandler::_send_byte(const QString& api, const QString& method, const QJsonObject& body,
                            const ByteCallback& callback_success, const FailCallback& callback_fail)
{
    if (QThread::currentThread() != thread()) {
        qWarning() << "[APIHandler] Send from a worker thread, handing it to the GUI thread:" << api;
        runOnOwnThread([=] { _send_byte(api, method, body, callback_success, callback_fail); });
        return;
    }
    QNetworkReply* reply = startRequest(storedToken(), utils::apiUrl(), api, method, body, callback_fail);
    if (!reply)
        return;

    connect(reply, &QNetworkReply::finished, this, [reply, success = callback_success, fail = callback_fail] {
        if (settleReply(reply, fail))
            return;
        const QByteArray bytes = reply->readAll();
        if (bytes.isEmpty()) {
            qWarning() << "Server returned invalid answer body";
            if (fail)
                fail(genericFailure());
            return;
        }
        if (success)
            success(bytes);
    });
}

void APIHandler::waitForReply(QNetworkReply* reply)
{
    // Connected after the reply handler, so the loop ends once the callbacks have run.
    QEventLoop loop;
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    connect(reply, &QObject::destroyed, &loop, &QEventLoop::quit);

    // The network layer has no time-out of its own; quitting must not hang on a silent server.
    QPointer<QNetworkReply> guard(reply);
    QTimer::singleShot(blockingSendTimeoutMs.load(), &loop, [&loop, guard] {
        qWarning() << "[APIHandler] No reply in time, giving up the request";
        if (guard)
            guard->abort();
        loop.quit();
    });
    loop.exec();
}

APIHandler::ReplyOutcome APIHandler::interpretJsonReply(const QByteArray& body)
{
    ReplyOutcome outcome;
    outcome.document = QJsonDocument::fromJson(body);
    if (outcome.document.isEmpty() || outcome.document.isNull()) {
        outcome.document = QJsonDocument();
        outcome.failure = genericFailure();
        return outcome;
    }
    const QJsonArray errors = outcome.document.object().value(QStringLiteral("errors")).toArray();
    if (!errors.isEmpty()) {
        outcome.failure = errors.first().toObject();
        return outcome;
    }
    outcome.success = true;
    return outcome;
}

// ---- The handler's own calls ----

bool APIHandler::improveOcrSettingFrom(const QJsonDocument& document)
{
    const QJsonValue value = document.object().value(QStringLiteral("improve_zorvane"));
    return value.isBool() && value.toBool();
}

void APIHandler::GetImproveOCRSetting()
{
    instance()->_send(
        QStringLiteral("/v1/user/settings"), QStringLiteral("GET"), QJsonObject(),
        [](const QJsonDocument& document) { kKeyImproveZorvaneOCR.set(improveOcrSettingFrom(document)); });
}

void APIHandler::SetImproveOCRSetting(bool value, bool* failed)
{
    if (failed)
        *failed = true;
    kKeyImproveZorvaneOCR.set(value);
    instance()->_send(QStringLiteral("/v1/user/settings"), QStringLiteral("PATCH"),
                      QJsonObject{{QStringLiteral("improve_zorvane"), value}},
                      [failed](const QJsonDocument&) {
                          if (failed)
                              *failed = false;
                      });
}

void APIHandler::sendOcrFeedback(QString qeltId, int rating, QJsonObject categories, QString comment)
{
    QJsonObject body{{QStringLiteral("qelt_id"), qeltId}, {QStringLiteral("ocr_feedback"), rating}};
    const bool anyCategory = categories.value(QStringLiteral("recognition")) == QJsonValue(true) ||
                             categories.value(QStringLiteral("formatting")) == QJsonValue(true) ||
                             categories.value(QStringLiteral("other")) == QJsonValue(true);
    if (anyCategory)
        body.insert(QStringLiteral("mistake_category"), categories);
    if (!comment.isEmpty())
        body.insert(QStringLiteral("comment"), comment);
    instance()->_send(QStringLiteral("/v1/user/ocr_feedback"), QStringLiteral("POST"), body);
}

// ---- Diagnostic-log batch ----

void APIHandler::log(QString message, QString level, QString errorInfo)
{
    QJsonObject record = stamped(QStringLiteral("log"));
    record.insert(QStringLiteral("message"), message);
    record.insert(QStringLiteral("level"), level);
    if (!errorInfo.isEmpty())
        record.insert(QStringLiteral("error_info"), errorInfo);
    instance()->_send_log(record);
}

void APIHandler::event(QString name)
{
    instance()->_send_log(stamped(name));
}

void APIHandler::event(QString name, QJsonObject data)
{
    QJsonObject record = stamped(name);
    record.insert(QStringLiteral("data"), data);
    instance()->_send_log(record);
}

QJsonObject APIHandler::createQeltRecord(const CreateQeltTiming& timing, qint64 timestampMs)
{
    const bool complete = !timing.inputType.isEmpty() && timing.statusCode >= 0 &&
                          !timing.requestId.isEmpty() && !timing.qeltId.isEmpty() && timing.sentStamp >= 0 &&
                          timing.receivedStamp >= 0 && timing.processedStamp >= 0 &&
                          timing.renderedStamp >= 0;
    if (!complete)
        return {};

    QJsonObject times;
    if (timing.serverReadBodyMs >= 0)
        times.insert(QStringLiteral("server_read_request_body"), timing.serverReadBodyMs);
    if (timing.serverOcrMs >= 0)
        times.insert(QStringLiteral("server_ocr_api_response"), timing.serverOcrMs);
    // Stamps count microseconds; C++ division truncates toward zero as wanted.
    times.insert(QStringLiteral("qelt_api_response"), int((timing.receivedStamp - timing.sentStamp) / 1000));
    times.insert(QStringLiteral("rendering"), int((timing.renderedStamp - timing.processedStamp) / 1000));

    return QJsonObject{
        {QStringLiteral("timestamp"), timestampMs},
        {QStringLiteral("event"), QStringLiteral("create_qelt")},
        {QStringLiteral("data"), QJsonObject{{QStringLiteral("request_id"), timing.requestId},
                                             {QStringLiteral("qelt_id"), timing.qeltId},
                                             {QStringLiteral("status_code"), timing.statusCode},
                                             {QStringLiteral("input_type"), timing.inputType}}},
        {QStringLiteral("time_ms"), times},
    };
}

void APIHandler::createQeltEvent(const CreateQeltTiming& timing)
{
    const QJsonObject record = createQeltRecord(timing, nowMs());
    if (!record.isEmpty())
        instance()->_send_log(record);
}

void APIHandler::flushLogsNow()
{
    APIHandler* handler = instance();
    if (QThread::currentThread() != handler->thread()) {
        handler->runOnOwnThread([handler] { handler->_flush_logs(false); });
        return;
    }
    handler->_flush_logs(true);
}

void APIHandler::endSignIn(bool tokenRefused)
{
    APIHandler* handler = instance();
    const QString current = storedToken();
    QJsonArray logs;
    QString token;
    {
        QMutexLocker lock(&handler->m_pendingLogsMutex);
        if (handler->m_pendingLogsToken.isEmpty() || handler->m_pendingLogsToken == current)
            return;
        logs = handler->m_pendingLogs.value(QStringLiteral("logs")).toArray();
        token = handler->m_pendingLogsToken;
        handler->m_pendingLogs.insert(QStringLiteral("logs"), QJsonArray());
        handler->m_pendingLogsToken = current;
    }
    handler->m_refusedToken = tokenRefused ? token : QString();
    if (!logs.isEmpty())
        handler->postBatch(QJsonObject{{QStringLiteral("logs"), logs}}, token, false);
}

void APIHandler::_send_log(const QJsonObject& log)
{
    const QString token = storedToken();
    QJsonArray earlierBatch;
    QString earlierToken;
    QJsonArray fullBatch;
    QString batchToken;
    {
        QMutexLocker lock(&m_pendingLogsMutex);
        QJsonArray logs = m_pendingLogs.value(QStringLiteral("logs")).toArray();
        if (token != m_pendingLogsToken) {
            // The records queued so far belong to the earlier sign-in and leave with its token.
            earlierBatch = logs;
            earlierToken = m_pendingLogsToken;
            logs = QJsonArray();
            m_pendingLogsToken = token;
        }
        logs.append(log);
        if (logs.size() >= kLogBatchSize) {
            fullBatch = logs;
            logs = QJsonArray();
        }
        batchToken = m_pendingLogsToken;
        m_pendingLogs.insert(QStringLiteral("logs"), logs);
    }

    // The timer and the network manager are the GUI thread's; records may come from anywhere.
    runOnOwnThread([this, earlierBatch, earlierToken, fullBatch, batchToken] {
        if (!earlierBatch.isEmpty())
            postBatch(QJsonObject{{QStringLiteral("logs"), earlierBatch}}, earlierToken, false);
        if (!fullBatch.isEmpty()) {
            stopFlushTimer();
            postBatch(QJsonObject{{QStringLiteral("logs"), fullBatch}}, batchToken, false);
        } else {
            restartFlushTimer();
        }
    });
}

void APIHandler::_flush_logs(bool useLocalEventLoop)
{
    QJsonArray logs;
    QString token;
    {
        QMutexLocker lock(&m_pendingLogsMutex);
        logs = m_pendingLogs.value(QStringLiteral("logs")).toArray();
        if (logs.isEmpty())
            return;
        token = m_pendingLogsToken;
        m_pendingLogs.insert(QStringLiteral("logs"), QJsonArray());
    }
    // Sent unlocked: a record queued while a blocking flush waits must not wait for it.
    postBatch(QJsonObject{{QStringLiteral("logs"), logs}}, token, useLocalEventLoop);
}

void APIHandler::postBatch(const QJsonObject& batch, const QString& token, bool useLocalEventLoop)
{
    // A worker's record may hand over the batch of a refused sign-in after it ended: it goes nowhere,
    // unless the same token has signed in again since.
    if (!token.isEmpty() && token == m_refusedToken && token != storedToken()) {
        qInfo().noquote() << "[APIHandler] Dropped" << batch.value(QStringLiteral("logs")).toArray().size()
                          << "diagnostic records queued under a refused token";
        return;
    }
    // Records queued while nobody was signed in go out with whoever signs in next.
    const QString sendToken = token.isEmpty() ? storedToken() : token;
    sendJson(sendToken, kLogsPath, QStringLiteral("POST"), batch, {}, {}, useLocalEventLoop);
}

void APIHandler::restartFlushTimer()
{
    m_flushTimer->start(flushIntervalMs.load());
}

void APIHandler::stopFlushTimer()
{
    m_flushTimer->stop();
}
