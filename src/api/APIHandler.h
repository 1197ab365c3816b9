#pragma once

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;
struct CreateQeltTiming;

// Sends the service calls that have no request class of their own (JSON in, JSON or bytes out, through a
// success and a failure callback) and batches the diagnostic log records posted to the gateway.
// One instance per process; it lives on the GUI thread, and the record builders may be called from any
// thread.
class APIHandler : public QObject
{
    Q_OBJECT

public:
    using SuccessCallback = std::function<void(QJsonDocument)>;
    using ByteCallback = std::function<void(QByteArray)>;
    // The failure object: "id" and "message"; a reply that failed with an HTTP status also carries it as
    // "http_status".
    using FailCallback = std::function<void(QJsonObject)>;

    // How the body of a reply without transport or HTTP error reads to the callbacks.
    struct ReplyOutcome
    {
        bool success = false;
        QJsonDocument document; // for the success callback
        QJsonObject failure;    // for the failure callback
    };

    static constexpr int kLogBatchSize = 10;
    static constexpr int kLogFlushIntervalMs = 60000;
    static constexpr int kBlockingSendTimeoutMs = 5000;

    static APIHandler* instance();
    static void init(QNetworkAccessManager* manager);
    static bool isNetworkAvailable();

    static void send(QString api, QString method, QJsonObject body, SuccessCallback success = {},
                     FailCallback fail = {});
    static void send_byte(QString api, QString method, QJsonObject body, ByteCallback success = {},
                          FailCallback fail = {});

    static void GetImproveOCRSetting();
    static void SetImproveOCRSetting(bool value, bool* failed);
    static void sendOcrFeedback(QString qeltId, int rating, QJsonObject categories, QString comment);

    static void log(QString message, QString level, QString errorInfo);
    static void event(QString name);
    static void event(QString name, QJsonObject data);
    static void createQeltEvent(const CreateQeltTiming& timing);
    static void flushLogsNow();
    // Once the stored account has changed (a sign-out, or another sign-in): the records queued under the
    // sign-in that ended leave now with its token, or, when the service has refused that token, never.
    // Records queued while nobody was signed in stay for the next sign-in. GUI thread.
    static void endSignIn(bool tokenRefused);

    // Pure readers of received data, shared by the reply handlers.
    static ReplyOutcome interpretJsonReply(const QByteArray& body);
    static bool improveOcrSettingFrom(const QJsonDocument& document);
    static QJsonObject createQeltRecord(const CreateQeltTiming& timing, qint64 timestampMs);

    // Test hooks: the machines that run the tests may have no network interface besides the loopback
    // one, and nobody waits a minute for a batch. Not reachable from settings, environment or arguments.
    static void overrideNetworkAvailabilityForTesting(std::optional<bool> available);
    static void setLogFlushIntervalForTesting(int ms);
    static void setBlockingSendTimeoutForTesting(int ms);

private:
    APIHandler();

    void _send(const QString& api, const QString& method, const QJsonObject& body,
               const SuccessCallback& callback_success = {}, const FailCallback& callback_fail = {},
               bool useLocalEventLoop = false);
    void _send_byte(const QString& api, const QString& method, const QJsonObject& body,
                    const ByteCallback& callback_success = {}, const FailCallback& callback_fail = {});
    void _send_log(const QJsonObject& log);
    void _flush_logs(bool useLocalEventLoop = false);

    // Everything before the reply: checks, URL, headers, body. Null after the failure callback ran.
    QNetworkReply* startRequest(const QString& token, const QString& baseUrl, const QString& api,
                                const QString& method, const QJsonObject& body, const FailCallback& fail);
    void sendJson(const QString& token, const QString& api, const QString& method, const QJsonObject& body,
                  const SuccessCallback& success, const FailCallback& fail, bool useLocalEventLoop);
    void waitForReply(QNetworkReply* reply);
    void postBatch(const QJsonObject& batch, const QString& token, bool useLocalEventLoop);
    void restartFlushTimer();
    void stopFlushTimer();
    void runOnOwnThread(std::function<void()> work);

    QPointer<QNetworkAccessManager> m_networkManager;
    QJsonObject m_pendingLogs;
    QMutex m_pendingLogsMutex;
    QTimer* m_flushTimer = nullptr;
    QString m_pendingLogsToken;
    // The last token the service refused; a batch queued under it goes nowhere. GUI thread only.
    QString m_refusedToken;
};
