// The diagnostic-log batch over real HTTP: records leave for the gateway in batches of ten, after a quiet
// interval, when the account changes and at exit.
#include "api/APIHandler.h"

#include "api/CreateQeltTiming.h"
#include "core/identity.h"
#include "core/settings.h"
#include "core/userState.h"
#include "support/FakeService.h"
#include "support/TestMain.h"

#include <QJsonArray>
#include <QNetworkAccessManager>
#include <QThread>

using zq::test::FakeService;
using zq::test::RecordedRequest;
using zq::test::Reply;

namespace {

QJsonArray logsOf(const RecordedRequest& request)
{
    return request.json().value("logs").toArray();
}

QStringList messagesOf(const QVector<RecordedRequest>& requests)
{
    QStringList messages;
    for (const auto& request : requests)
        for (const auto& record : logsOf(request))
            messages << record.toObject().value("message").toString();
    return messages;
}

void signIn(const QString& token)
{
    utils::setAuthInfo(QStringLiteral("someone@example.org"), token);
}

CreateQeltTiming completeTiming()
{
    CreateQeltTiming timing;
    timing.requestId = "req-1";
    timing.qeltId = "q-1";
    timing.statusCode = 200;
    timing.inputType = "crop";
    timing.sentStamp = 1'000'000;
    timing.receivedStamp = 1'250'999;
    timing.processedStamp = 2'000'000;
    timing.renderedStamp = 2'100'000;
    timing.serverReadBodyMs = 12;
    timing.serverOcrMs = 180;
    return timing;
}

} // namespace

class TestLogBatch : public QObject
{
    Q_OBJECT

private:
    QNetworkAccessManager manager;
    FakeService api;
    FakeService gateway;

    // Empties the batch without a trace on the service: a flush that cannot send drops its records.
    void dropPending()
    {
        APIHandler::overrideNetworkAvailabilityForTesting(false);
        APIHandler::flushLogsNow();
        APIHandler::overrideNetworkAvailabilityForTesting(true);
    }

private slots:
    void initTestCase()
    {
        APIHandler::init(&manager);
        utils::overrideBaseUrlsForTesting(api.baseUrl());
        utils::overrideGatewayUrlForTesting(gateway.baseUrl());
        gateway.on("POST", "/v1/logs", Reply::json(QJsonObject()));
    }

    void init()
    {
        // Long enough never to fire inside a test that does not ask for it.
        APIHandler::setLogFlushIntervalForTesting(3'600'000);
        APIHandler::setBlockingSendTimeoutForTesting(APIHandler::kBlockingSendTimeoutMs);
        APIHandler::overrideNetworkAvailabilityForTesting(true);
        signIn("token-a");
        dropPending();
        gateway.clearRequests();
        api.clearRequests();
    }

    void recordsHaveTheirShape()
    {
        APIHandler::log("Sync failed", "warn", QString());
        APIHandler::log("Upload failed", "error", "timeout");
        APIHandler::event("app_start");
        APIHandler::event("logout", QJsonObject());
        APIHandler::event("copy_to_clipboard", QJsonObject{{"format", "latex"}});
        const qint64 before = QDateTime::currentMSecsSinceEpoch();
        APIHandler::flushLogsNow();
        QCOMPARE(gateway.requestCount(), 1);

        const QJsonArray logs = logsOf(gateway.requests().first());
        QCOMPARE(logs.size(), 5);
        auto withoutTime = [&](int i) {
            QJsonObject record = logs.at(i).toObject();
            const qint64 stamp = qint64(record.take("timestamp").toDouble());
            // Stamped when queued, in milliseconds since the epoch.
            [&] { QVERIFY(stamp > 1'600'000'000'000 && stamp <= before); }();
            return record;
        };
        QCOMPARE(withoutTime(0),
                 (QJsonObject{{"event", "log"}, {"message", "Sync failed"}, {"level", "warn"}}));
        QCOMPARE(withoutTime(1), (QJsonObject{{"event", "log"},
                                              {"message", "Upload failed"},
                                              {"level", "error"},
                                              {"error_info", "timeout"}}));
        QCOMPARE(withoutTime(2), (QJsonObject{{"event", "app_start"}}));
        QCOMPARE(withoutTime(3), (QJsonObject{{"event", "logout"}, {"data", QJsonObject()}}));
        QCOMPARE(withoutTime(4),
                 (QJsonObject{{"event", "copy_to_clipboard"}, {"data", QJsonObject{{"format", "latex"}}}}));
        QCOMPARE(gateway.requests().first().header("authorization"), QByteArray("Bearer token-a"));
        QCOMPARE(api.requestCount(), 0);
    }

    void nineRecordsWaitAndTheTenthSendsAll()
    {
        for (int i = 1; i <= 9; ++i)
            APIHandler::log(QString::number(i), "info", QString());
        // A round trip to the gateway after the nine: a post of them would have gone out before it.
        bool answered = false;
        APIHandler::send("/v1/logs", "POST", QJsonObject{{"probe", true}},
                         [&](const QJsonDocument&) { answered = true; });
        QTRY_VERIFY(answered);
        QCOMPARE(gateway.requestCount(), 1);
        gateway.clearRequests();

        APIHandler::log("10", "info", QString());
        QTRY_COMPARE(gateway.requestCount(), 1);
        QCOMPARE(messagesOf(gateway.requests()),
                 (QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}));

        // The batch is empty now: the flush at exit has nothing to send.
        APIHandler::flushLogsNow();
        QCOMPARE(gateway.requestCount(), 1);
    }

    void quietIntervalSendsTheBatch()
    {
        APIHandler::setLogFlushIntervalForTesting(20);
        APIHandler::event("first");
        APIHandler::event("second");
        QTRY_COMPARE(gateway.requestCount(), 1);
        QCOMPARE(logsOf(gateway.requests().first()).size(), 2);
    }

    void batchLeavesWithTheTokenItWasQueuedUnder()
    {
        signIn("token-a");
        APIHandler::log("a1", "info", QString());
        APIHandler::log("a2", "info", QString());
        signIn("token-b");
        APIHandler::log("b1", "info", QString());
        QTRY_COMPARE(gateway.requestCount(), 1);
        QCOMPARE(gateway.requests().at(0).header("authorization"), QByteArray("Bearer token-a"));
        QCOMPARE(messagesOf(gateway.requests()), (QStringList{"a1", "a2"}));

        // Signed out: the last account's records still leave under its own token.
        signIn(QString());
        APIHandler::log("anonymous", "info", QString());
        QTRY_COMPARE(gateway.requestCount(), 2);
        QCOMPARE(gateway.requests().at(1).header("authorization"), QByteArray("Bearer token-b"));
        QCOMPARE(messagesOf({gateway.requests().at(1)}), QStringList{"b1"});

        // Records queued while signed out go with the next sign-in.
        signIn("token-c");
        APIHandler::log("c1", "info", QString());
        QTRY_COMPARE(gateway.requestCount(), 3);
        QCOMPARE(gateway.requests().at(2).header("authorization"), QByteArray("Bearer token-c"));
        QCOMPARE(messagesOf({gateway.requests().at(2)}), QStringList{"anonymous"});

        // A timed flush after the account changed without a new record keeps the queuing token.
        signIn("token-d");
        APIHandler::flushLogsNow();
        QCOMPARE(gateway.requestCount(), 4);
        QCOMPARE(gateway.requests().at(3).header("authorization"), QByteArray("Bearer token-c"));
    }

    void recordsFromWorkerThreadsAllArriveOnceFromTheGuiThread()
    {
        QStringList threadWarnings;
        static QStringList* sink = nullptr;
        sink = &threadWarnings;
        const auto previous =
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) {
                if (text.contains("thread", Qt::CaseInsensitive))
                    sink->append(text);
            });

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
            QVERIFY(worker->wait(10'000));
            delete worker;
        }
        QTRY_COMPARE(messagesOf(gateway.requests()).size(), kThreads * kPerThread);
        qInstallMessageHandler(previous);

        QStringList messages = messagesOf(gateway.requests());
        QCOMPARE(messages.size(), kThreads * kPerThread);
        messages.removeDuplicates();
        QCOMPARE(messages.size(), kThreads * kPerThread);
        for (const auto& request : gateway.requests())
            QVERIFY(logsOf(request).size() <= APIHandler::kLogBatchSize);
        QVERIFY2(threadWarnings.isEmpty(), qPrintable(threadWarnings.join('\n')));
    }

    void flushAtExitIsBoundedWhenTheServiceIsSilent()
    {
        gateway.enqueue("POST", "/v1/logs", Reply::silence());
        APIHandler::setBlockingSendTimeoutForTesting(300);
        APIHandler::log("last words", "info", QString());

        // A record queued while the flush waits must neither deadlock nor get lost with the batch.
        QTimer::singleShot(0, [] { APIHandler::log("during the wait", "info", QString()); });
        QTest::ignoreMessage(QtWarningMsg, "[APIHandler] No reply in time, giving up the request");
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("^Send Request error: .*OperationCanceledError"));
        APIHandler::flushLogsNow();
        QCOMPARE(gateway.requestCount(), 1);
        QCOMPARE(messagesOf(gateway.requests()), QStringList{"last words"});

        APIHandler::flushLogsNow();
        QCOMPARE(gateway.requestCount(), 2);
        QCOMPARE(messagesOf({gateway.requests().at(1)}), QStringList{"during the wait"});
    }

    void flushThatCannotSendNeverWaits_data()
    {
        QTest::addColumn<bool>("network");
        QTest::addColumn<bool>("initialised");
        QTest::newRow("no network") << false << true;
        QTest::newRow("before init") << true << false;
    }

    void flushThatCannotSendNeverWaits()
    {
        QFETCH(bool, network);
        QFETCH(bool, initialised);
        APIHandler::log("stranded", "info", QString());
        APIHandler::overrideNetworkAvailabilityForTesting(network);
        if (!initialised) {
            APIHandler::init(nullptr);
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("No network access manager"));
        }
        // Any event loop inside the flush would run this.
        bool eventsRan = false;
        QTimer::singleShot(0, [&] { eventsRan = true; });
        APIHandler::flushLogsNow();
        APIHandler::init(&manager);
        QVERIFY(!eventsRan);
        QCOMPARE(gateway.requestCount(), 0);
    }

    void timingRecordNeedsEveryValue_data()
    {
        QTest::addColumn<QString>("field");
        QTest::newRow("status") << "status";
        QTest::newRow("rendered") << "rendered";
        QTest::newRow("request id") << "request";
    }

    void timingRecordNeedsEveryValue()
    {
        QFETCH(QString, field);
        CreateQeltTiming timing = completeTiming();
        if (field == "status")
            timing.statusCode = -1;
        else if (field == "rendered")
            timing.renderedStamp = -1;
        else
            timing.requestId.clear();
        QVERIFY(APIHandler::createQeltRecord(timing, 5).isEmpty());
        APIHandler::createQeltEvent(timing);
        APIHandler::flushLogsNow();
        QCOMPARE(gateway.requestCount(), 0);
    }

    void timingRecordReportsMilliseconds()
    {
        const QJsonObject record = APIHandler::createQeltRecord(completeTiming(), 1234);
        QCOMPARE(record, (QJsonObject{{"timestamp", 1234},
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
        odd.receivedStamp = 0;
        odd.processedStamp = 0;
        odd.renderedStamp = 999;
        odd.serverOcrMs = -1;
        const QJsonObject times = APIHandler::createQeltRecord(odd, 1).value("time_ms").toObject();
        QCOMPARE(times,
                 (QJsonObject{{"server_read_request_body", 12}, {"qelt_api_response", 0}, {"rendering", 0}}));

        APIHandler::createQeltEvent(completeTiming());
        APIHandler::flushLogsNow();
        QCOMPARE(gateway.requestCount(), 1);
        QCOMPARE(logsOf(gateway.requests().first()).first().toObject().value("event").toString(),
                 QStringLiteral("create_qelt"));
    }
};

ZQ_TEST_MAIN(TestLogBatch)
#include "test_log_batch.moc"
