// The generic sender and the diagnostic-log batch over real HTTP: one fake service stands for the API
// host, another for the gateway.
#include "api/APIHandler.h"

#include "api/CreateQeltTiming.h"
#include "api/http.h"
#include "core/identity.h"
#include "core/settings.h"
#include "core/userState.h"
#include "support/FakeService.h"
#include "support/SilentService.h"
#include "support/TestMain.h"

#include <QJsonArray>
#include <QNetworkAccessManager>
#include <QThread>

#include <utility>

using zq::test::FakeService;
using zq::test::RecordedRequest;
using zq::test::Reply;

Q_DECLARE_METATYPE(zq::test::Reply)

namespace {

const QString kToken = QStringLiteral("token-a");

// What the callbacks of one send saw.
struct Outcome
{
    int calls = 0;
    QByteArray success; // the bytes, or the document in its compact form
    QJsonObject failure;

    // Sends and waits for the one callback; asBytes: through the byte sender.
    bool send(const QString& path, bool asBytes = false, const QString& method = "POST",
              const QJsonObject& body = {})
    {
        const auto fail = [this](const QJsonObject& f) { failure = f, ++calls; };
        if (asBytes)
            APIHandler::send_byte(
                path, method, body, [this](const QByteArray& b) { success = b, ++calls; }, fail);
        else
            APIHandler::send(
                path, method, body,
                [this](const QJsonDocument& d) { success = d.toJson(QJsonDocument::Compact), ++calls; },
                fail);
        return QTest::qWaitFor([this] { return calls == 1; }, zq::test::kWaitMs);
    }
};

QStringList messagesOf(const QVector<RecordedRequest>& requests)
{
    QStringList messages;
    for (const auto& request : requests)
        for (const auto& record : request.json().value("logs").toArray())
            messages << record.toObject().value("message").toString();
    return messages;
}

void signIn(const QString& token)
{
    utils::setAuthInfo(QStringLiteral("someone@example.org"), token);
}

CreateQeltTiming completeTiming()
{
    return CreateQeltTiming{"req-1", "q-1", 200, "crop", 1'000'000, 1'250'999, 2'000'000, 2'100'000, 12, 180};
}

} // namespace

class TestAPIHandler : public QObject
{
    Q_OBJECT

    QNetworkAccessManager m_manager;
    FakeService m_api;
    FakeService m_gateway;

private slots:
    void initTestCase()
    {
        APIHandler::init(&m_manager);
        utils::overrideBaseUrlsForTesting(m_api.baseUrl());
        utils::overrideGatewayUrlForTesting(m_gateway.baseUrl());
    }

    void init()
    {
        // Long enough never to fire inside a test that does not ask for it.
        APIHandler::setLogFlushIntervalForTesting(3'600'000);
        APIHandler::setBlockingSendTimeoutForTesting(APIHandler::kBlockingSendTimeoutMs);
        // A flush that cannot send drops its records: the batch starts empty.
        APIHandler::overrideNetworkAvailabilityForTesting(false);
        APIHandler::flushLogsNow();
        APIHandler::overrideNetworkAvailabilityForTesting(true);
        signIn(kToken);
        for (FakeService* service : {&m_api, &m_gateway}) {
            service->clearRoutes();
            service->clearRequests();
        }
        m_gateway.on("POST", "/v1/logs", Reply::json(QJsonObject()));
    }

    void cleanupTestCase() { APIHandler::overrideNetworkAvailabilityForTesting(std::nullopt); }

    void refusalsComeBeforeReturningAndSendNothing_data()
    {
        QTest::addColumn<bool>("network");
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("method");
        QTest::addColumn<bool>("manager");
        QTest::addColumn<QString>("id");
        QTest::newRow("no network, no token")
            << false << QString() << "POST" << true << "network_unreachable";
        QTest::newRow("no token") << true << QString() << "POST" << true << "token_missing";
        QTest::newRow("unknown method") << true << kToken << "PUT" << true << "network_reply_error";
        QTest::newRow("no manager") << true << kToken << "POST" << false << "network_reply_error";
    }

    void refusalsComeBeforeReturningAndSendNothing()
    {
        QFETCH(bool, network);
        QFETCH(QString, token);
        QFETCH(QString, method);
        QFETCH(bool, manager);
        QFETCH(QString, id);
        APIHandler::overrideNetworkAvailabilityForTesting(network);
        signIn(token);
        APIHandler::init(manager ? &m_manager : nullptr);
        for (bool asBytes : {false, true}) {
            QJsonObject failure;
            const auto fail = [&](const QJsonObject& f) { failure = f; };
            if (id == "network_reply_error")
                QTest::ignoreMessage(QtWarningMsg,
                                     QRegularExpression("Unsupported method|No network access manager"));
            if (asBytes)
                APIHandler::send_byte("/v1/export/docx", method, {}, {}, fail);
            else
                APIHandler::send("/v1/events", method, {}, {}, fail);
            QCOMPARE(failure.value("id").toString(), id);
            QVERIFY(!failure.value("message").toString().isEmpty());
        }
        // Nothing went out: a send that does go out afterwards is the first request the service sees.
        APIHandler::init(&m_manager);
        APIHandler::overrideNetworkAvailabilityForTesting(true);
        signIn(kToken);
        m_api.on("POST", "/v1/events", Reply::json(QJsonObject()));
        QVERIFY(Outcome().send("/v1/events"));
        QCOMPARE(m_api.requestCount(), 1);
    }

    void requestGoesToItsHostWithTokenIdentityAndIndentedBody()
    {
        m_api.on("PATCH", "/v1/user/settings", Reply::json(QJsonObject()));
        QVERIFY(Outcome().send("/v1/user/settings", false, "PATCH", QJsonObject{{"a", 1}}));
        const auto request = m_api.requests().value(0);
        QCOMPARE(request.method + request.body, QByteArray("PATCH{\n    \"a\": 1\n}\n"));
        QCOMPARE(request.header("authorization"), "Bearer " + kToken.toUtf8());
        QCOMPARE(request.header("user-agent"), utils::appVersionString().toUtf8());
        QCOMPARE(request.header("content-type"), QByteArray("application/json"));
        // Only the log batch's own path, sent as JSON, goes to the gateway.
        m_api.on("POST", "/v1/logs", Reply::json(QJsonObject()));
        QVERIFY(Outcome().send("/v1/logs?x=1"));
        QVERIFY(Outcome().send("/v1/logs", true));
        QCOMPARE(m_api.requestCount(), 3);
        QVERIFY(Outcome().send("/v1/logs"));
        QCOMPARE(m_gateway.requestCount(), 1);
    }

    void replyReachesTheRightCallback_data()
    {
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<bool>("asBytes");
        QTest::addColumn<QString>("failureId"); // "-": success
        const QJsonObject first{{"id", "first"}, {"message", "First."}};
        const QByteArray errors = QJsonDocument(QJsonObject{{"errors", QJsonArray{first, first}}}).toJson();
        const Reply redirect =
            Reply::json(QJsonObject{{"ok", true}}, 302).withHeader("Location", "https://x.example/");
        QTest::newRow("service errors") << Reply::raw(errors, "application/json") << false << "first";
        QTest::newRow("an error that is no object")
            << Reply::json(QJsonObject{{"errors", QJsonArray{"text"}}}) << false << "";
        QTest::newRow("empty errors") << Reply::json(QJsonObject{{"errors", QJsonArray()}}) << false << "-";
        QTest::newRow("array document") << Reply::raw("[1,2]", "application/json") << false << "-";
        QTest::newRow("empty body") << Reply::raw("", "application/json") << false << "network_unreachable";
        QTest::newRow("not JSON") << Reply::raw("<html>", "text/html") << false << "network_unreachable";
        QTest::newRow("HTTP error body is not read")
            << Reply::raw(errors, "application/json", 404) << false << "network_reply_error";
        QTest::newRow("redirect") << redirect << false << "network_unreachable";
        QTest::newRow("bytes are passed raw") << Reply::raw(errors, "application/json") << true << "-";
        QTest::newRow("empty bytes") << Reply::raw("") << true << "network_unreachable";
        QTest::newRow("redirected bytes") << redirect << true << "network_unreachable";
        QTest::newRow("taken, never answered") << Reply::silence() << false << "network_reply_error";
        QTest::newRow("bytes never answered") << Reply::silence() << true << "network_reply_error";
    }

    void replyReachesTheRightCallback()
    {
        QFETCH(Reply, reply);
        QFETCH(bool, asBytes);
        QFETCH(QString, failureId);
        m_api.on("POST", "/v1/solve", reply);
        if (failureId.startsWith("network_"))
            QTest::ignoreMessage(
                QtWarningMsg,
                QRegularExpression(
                    "^Server returned invalid|^Send Request error: .*(ContentNotFound|"
                    "OperationCanceled)|^\\[APIHandler\\] Redirect not followed, HTTP status 302"));
        zq::test::SilentService silent;
        if (reply.noAnswer)
            silent.beginStall();
        Outcome outcome;
        QVERIFY(outcome.send("/v1/solve", asBytes));
        silent.endStall();
        // Whether to send again is the caller's call, by the status of a refusal.
        if (failureId == "network_reply_error")
            QCOMPARE(outcome.failure.value("http_status").toInt(), reply.noAnswer ? 0 : reply.status);
        if (failureId == "-")
            QCOMPARE(outcome.success,
                     asBytes ? reply.body
                             : QJsonDocument::fromJson(reply.body).toJson(QJsonDocument::Compact));
        else
            QCOMPARE(outcome.failure.value("id").toString(), failureId);
        if (failureId == "network_unreachable")
            QCOMPARE(outcome.failure.value("message").toString(), ZorvaneAPI::http::genericFailureText());
    }

    void consentIsAStrictBooleanStoredAtOnce()
    {
        m_api.enqueue("GET", "/v1/user/settings",
                      Reply::raw(R"({"improve_zorvane":true})", "application/json"));
        m_api.enqueue("GET", "/v1/user/settings",
                      Reply::raw(R"({"improve_zorvane":"true"})", "application/json"));
        APIHandler::GetImproveOCRSetting();
        QTRY_COMPARE(kKeyImproveZorvaneOCR.get(), true);
        APIHandler::GetImproveOCRSetting();
        QTRY_COMPARE(kKeyImproveZorvaneOCR.get(), false);
        QVERIFY(m_api.requests().first().body.isEmpty());

        // The choice is kept at once; the flag clears only when the service took it.
        bool failed = false;
        m_api.enqueue("PATCH", "/v1/user/settings", Reply::json(QJsonObject()));
        m_api.enqueue("PATCH", "/v1/user/settings", Reply::text(503));
        APIHandler::SetImproveOCRSetting(true, &failed);
        QVERIFY(failed);
        QCOMPARE(kKeyImproveZorvaneOCR.get(), true);
        QTRY_VERIFY(!failed);
        QCOMPARE(m_api.requests().at(2).json(), (QJsonObject{{"improve_zorvane", true}}));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Send Request error: "));
        APIHandler::SetImproveOCRSetting(false, &failed);
        QCOMPARE(kKeyImproveZorvaneOCR.get(), false);
        QTRY_COMPARE(m_api.requestCount(), 4);
        m_api.on("POST", "/v1/events", Reply::json(QJsonObject()));
        QVERIFY(Outcome().send("/v1/events"));
        QVERIFY(failed);
    }

    void ocrFeedbackSendsCategoriesOnlyWhenOneIsSet()
    {
        m_api.on("POST", "/v1/user/ocr_feedback", Reply::json(QJsonObject()));
        const QJsonObject other{{"recognition", false}, {"other", true}};
        APIHandler::sendOcrFeedback("q1", 1, other, "Wrong sign.");
        APIHandler::sendOcrFeedback("q2", 0, QJsonObject{{"recognition", false}, {"formatting", "true"}},
                                    QString());
        QTRY_COMPARE(m_api.requestCount(), 2);
        // Two sends may travel on two connections and arrive in either order.
        QJsonObject first = m_api.requests().at(0).json(), second = m_api.requests().at(1).json();
        if (first.value("qelt_id") != "q1")
            std::swap(first, second);
        QCOMPARE(first, (QJsonObject{{"qelt_id", "q1"},
                                     {"ocr_feedback", 1},
                                     {"mistake_category", other},
                                     {"comment", "Wrong sign."}}));
        QCOMPARE(second, (QJsonObject{{"qelt_id", "q2"}, {"ocr_feedback", 0}}));
    }

    void recordsHaveTheirShapeAndTheTenthSendsAll()
    {
        APIHandler::log("Upload failed", "error", "timeout");
        APIHandler::log("Sync failed", "warn", QString());
        APIHandler::event("app_start");
        APIHandler::event("copy_to_clipboard", QJsonObject{{"format", "latex"}});
        for (int i = 5; i < APIHandler::kLogBatchSize; ++i)
            APIHandler::log(QString::number(i), "info", QString());
        // A round trip to the gateway after the nine: a post of them would have gone out before it.
        QVERIFY(Outcome().send("/v1/logs"));
        QCOMPARE(m_gateway.requestCount(), 1);

        const qint64 before = QDateTime::currentMSecsSinceEpoch();
        APIHandler::log("10", "info", QString());
        QTRY_COMPARE(m_gateway.requestCount(), 2);
        const QJsonArray logs = m_gateway.requests().at(1).json().value("logs").toArray();
        QCOMPARE(logs.size(), APIHandler::kLogBatchSize);
        QJsonObject first = logs.at(0).toObject();
        // Stamped when queued, in milliseconds since the epoch.
        const qint64 stamp = qint64(first.take("timestamp").toDouble());
        QVERIFY(stamp > 1'600'000'000'000 && stamp <= before);
        QCOMPARE(first, (QJsonObject{{"event", "log"},
                                     {"message", "Upload failed"},
                                     {"level", "error"},
                                     {"error_info", "timeout"}}));
        QVERIFY(!logs.at(1).toObject().contains("error_info"));
        QCOMPARE(logs.at(2).toObject().keys(), (QStringList{"event", "timestamp"}));
        QCOMPARE(logs.at(3).toObject().value("data"), QJsonValue(QJsonObject{{"format", "latex"}}));
        QCOMPARE(m_gateway.requests().at(1).header("authorization"), "Bearer " + kToken.toUtf8());

        // The batch is empty now: the flush at exit has nothing to send.
        APIHandler::flushLogsNow();
        QCOMPARE(m_gateway.requestCount(), 2);
    }

    // The records of a sign-in leave with its token as it ends, or never when the service refused the
    // token; after that moment, up to the flush at exit, nothing carries it.
    void batchLeavesWithItsSignInAsItEnds_data()
    {
        QTest::addColumn<QString>("next"); // the token that follows, empty for a sign-out
        QTest::addColumn<bool>("refused");
        QTest::addColumn<QStringList>("atTheEnd"); // what left as the sign-in ended
        QTest::addColumn<QStringList>("later");    // up to the flush at exit
        QTest::newRow("signed out") << QString() << false << QStringList{"Bearer token-a: a1,a2"}
                                    << QStringList{"Bearer token-c: anonymous", "Bearer token-c: c1"};
        QTest::newRow("token refused") << QString() << true << QStringList()
                                       << QStringList{"Bearer token-c: anonymous", "Bearer token-c: c1"};
        QTest::newRow("another account at once")
            << "token-b" << false << QStringList{"Bearer token-a: a1,a2"}
            << QStringList{"Bearer token-b: anonymous", "Bearer token-c: c1"};
    }
    void batchLeavesWithItsSignInAsItEnds()
    {
        QFETCH(QString, next);
        QFETCH(bool, refused);
        QFETCH(QStringList, atTheEnd);
        QFETCH(QStringList, later);
        // The token and the records of each request to the gateway.
        const auto sent = [this] {
            QStringList posts;
            for (const RecordedRequest& request : m_gateway.requests())
                posts << QString::fromUtf8(request.header("authorization")) + ": " +
                             messagesOf({request}).join(',');
            return posts;
        };
        APIHandler::log("a1", "info", QString());
        APIHandler::log("a2", "info", QString());
        signIn(next);
        APIHandler::endSignIn(refused);
        // Every reply the handler waits for has come back, so whatever it sent has arrived; no later record
        // or flush sent it: the timer waits an hour.
        const auto settled = [this] { return m_manager.findChildren<QNetworkReply*>().isEmpty(); };
        QTRY_VERIFY(settled());
        QCOMPARE(sent(), atTheEnd);

        // Queued signed out, these go with the next sign-in.
        APIHandler::log("anonymous", "info", QString());
        signIn("token-c");
        APIHandler::endSignIn(false);
        APIHandler::log("c1", "info", QString());
        APIHandler::flushLogsNow();
        QTRY_VERIFY(settled());
        // On connections of their own, the two may arrive in any order.
        QStringList arrived = sent().mid(atTheEnd.size());
        arrived.sort();
        QCOMPARE(sent().mid(0, atTheEnd.size()), atTheEnd);
        QCOMPARE(arrived, later);
    }

    void recordsFromWorkerThreadsAllArriveOnce()
    {
        // Not a multiple of the batch size: the rest leaves through the timer that a worker restarted.
        APIHandler::setLogFlushIntervalForTesting(20);
        constexpr int kThreads = 4;
        constexpr int kPerThread = 26;
        QVector<QThread*> workers;
        for (int t = 0; t < kThreads; ++t) {
            workers << QThread::create([t] {
                for (int i = 0; i < kPerThread; ++i)
                    APIHandler::log(QStringLiteral("%1-%2").arg(t).arg(i), "info", QString());
            });
            workers.last()->start();
        }
        for (QThread* worker : workers) {
            QVERIFY(worker->wait(zq::test::kWaitMs));
            delete worker;
        }
        QTRY_COMPARE(messagesOf(m_gateway.requests()).size(), kThreads * kPerThread);
        QStringList messages = messagesOf(m_gateway.requests());
        messages.removeDuplicates();
        QCOMPARE(messages.size(), kThreads * kPerThread);
        for (const auto& request : m_gateway.requests())
            QVERIFY(request.json().value("logs").toArray().size() <= APIHandler::kLogBatchSize);
    }

    void flushAtExitIsBoundedWhenTheServiceIsSilent()
    {
        m_gateway.enqueue("POST", "/v1/logs", Reply::silence());
        APIHandler::setBlockingSendTimeoutForTesting(300);
        APIHandler::log("last words", "info", QString());

        // A record queued while the flush waits must neither deadlock nor get lost with the batch.
        QTimer::singleShot(0, [] { APIHandler::log("during the wait", "info", QString()); });
        QTest::ignoreMessage(QtWarningMsg, "[APIHandler] No reply in time, giving up the request");
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("^Send Request error: .*OperationCanceledError"));
        APIHandler::flushLogsNow();
        QCOMPARE(messagesOf(m_gateway.requests()), QStringList{"last words"});

        APIHandler::flushLogsNow();
        QCOMPARE(m_gateway.requestCount(), 2);
        QCOMPARE(messagesOf({m_gateway.requests().at(1)}), QStringList{"during the wait"});
    }

    void flushThatCannotSendNeverWaits()
    {
        // Any event loop inside the flush would run this.
        bool eventsRan = false;
        QTimer::singleShot(0, [&] { eventsRan = true; });
        APIHandler::log("stranded", "info", QString());
        APIHandler::overrideNetworkAvailabilityForTesting(false);
        APIHandler::flushLogsNow();
        APIHandler::overrideNetworkAvailabilityForTesting(true);
        APIHandler::log("stranded", "info", QString());
        APIHandler::init(nullptr);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("No network access manager"));
        APIHandler::flushLogsNow();
        APIHandler::init(&m_manager);
        QVERIFY(!eventsRan);
        QCOMPARE(m_gateway.requestCount(), 0);
    }

    void timingRecordReportsMillisecondsAndNeedsEveryValue()
    {
        QCOMPARE(APIHandler::createQeltRecord(completeTiming(), 1234),
                 (QJsonObject{{"timestamp", 1234},
                              {"event", "create_qelt"},
                              {"data", QJsonObject{{"request_id", "req-1"},
                                                   {"qelt_id", "q-1"},
                                                   {"status_code", 200},
                                                   {"input_type", "crop"}}},
                              {"time_ms", QJsonObject{{"server_read_request_body", 12},
                                                      {"server_ocr_api_response", 180},
                                                      {"qelt_api_response", 250},
                                                      {"rendering", 100}}}}));
        // Truncated toward zero both ways; an unknown server time is left out.
        CreateQeltTiming odd = completeTiming();
        odd.sentStamp = 999;
        odd.receivedStamp = odd.processedStamp = 0;
        odd.renderedStamp = 999;
        odd.serverOcrMs = -1;
        QCOMPARE(APIHandler::createQeltRecord(odd, 1).value("time_ms").toObject(),
                 (QJsonObject{{"server_read_request_body", 12}, {"qelt_api_response", 0}, {"rendering", 0}}));

        CreateQeltTiming noStatus = completeTiming(), noRendering = noStatus, noRequestId = noStatus;
        noStatus.statusCode = -1;
        noRendering.renderedStamp = -1;
        noRequestId.requestId.clear();
        for (const CreateQeltTiming& timing : {noStatus, noRendering, noRequestId}) {
            QVERIFY(APIHandler::createQeltRecord(timing, 5).isEmpty());
            APIHandler::createQeltEvent(timing);
        }
        APIHandler::createQeltEvent(completeTiming());
        APIHandler::flushLogsNow();
        QCOMPARE(m_gateway.requestCount(), 1);
        QCOMPARE(m_gateway.requests().first().json().value("logs").toArray().size(), 1);
    }
};

ZQ_TEST_MAIN(TestAPIHandler)
#include "test_api_handler.moc"
