#include "ApiTestSupport.h"

#include "api/CreateQeltFromStrokesRequest.h"
#include "api/CreateQeltRequest.h"
#include "api/CreateQeltTiming.h"
#include "api/GetQeltRequest.h"
#include "api/QeltResult.h"
#include "api/RequestRepeater.h"
#include "api/http.h"
#include "core/settings.h"
#include "support/TestMain.h"

using namespace ZorvaneAPI;
using zq::test::Reply;
using zq::test::ScopedFakeService;

using Strokes = QVector<QVector<QPointF>>;

namespace {

QJsonObject createdJson(bool withError = false)
{
    QJsonObject object = zq::test::qeltJson(QStringLiteral("NEW1"), QStringLiteral("pending"));
    object["time_ms"] = QJsonObject{{"read_request_body", 12}, {"ocr_api_response", 345}};
    if (withError)
        object["errors"] = zq::test::errorsJson({"low_quality", "blurry"})["errors"];
    return object;
}

Reply qelt(const char* status)
{
    return Reply::json(zq::test::qeltJson("q1", status));
}

} // namespace

// What the Qelt calls put on the wire, what their replies leave in the result and in the recognition
// timing record, and the repeater that waits for a Qelt the service is still working on.
class TestQeltRequests : public QObject
{
    Q_OBJECT

    static constexpr int kSilenceLimitMs = 1000;

    std::unique_ptr<ScopedFakeService> m_service;
    int m_executions = 0;

    static std::shared_ptr<QeltResult> create()
    {
        return zq::test::runRequest<QeltResult>(Provider::instance().createQeltRequest(), QByteArray("jpeg"),
                                                QByteArray("{}"));
    }

    static std::shared_ptr<QeltResult> strokes(const Strokes& strokes)
    {
        return zq::test::runRequest<QeltResult>(Provider::instance().createQeltFromStrokesRequest(), strokes);
    }

    // A repeater over a real fetch of Qelt "q1", with a short pause between attempts.
    std::unique_ptr<RequestRepeater> repeater()
    {
        std::unique_ptr<RequestRepeater> made(Provider::instance().getQeltRepeater([this](Request* request) {
            ++m_executions;
            static_cast<GetQeltRequest*>(request)->exec(QStringLiteral("q1"));
        }));
        made->setDelay(1);
        return made;
    }

    static void expectAttemptWarning(int attempt, const QString& failure)
    {
        QTest::ignoreMessage(
            QtWarningMsg,
            QRegularExpression(QStringLiteral("^\\[RequestRepeater\\] Attempt %1/5 failed: ").arg(attempt) +
                               failure));
    }

private slots:
    void init()
    {
        m_service = std::make_unique<ScopedFakeService>(QStringLiteral("t0k"));
        CreateQeltTiming::instance().reset();
        zq::test::clearSettings();
        m_executions = 0;
    }

    void cleanup() { m_service.reset(); }

    void createUploadsImageAndFillsResultAndTiming()
    {
        m_service->on("POST", "/v1/qelts-multipart",
                      Reply::json(createdJson()).withHeader("zorvane-request-id", "req-7"));
        const QByteArray jpeg("\xff\xd8\xff\xe0 jpeg \x00\x01", 12);
        const QByteArray options(R"({"formats":["text"]})");
        const auto result =
            zq::test::runRequest<QeltResult>(Provider::instance().createQeltRequest(), jpeg, options);
        QVERIFY(result && !result->hasError() && !result->isCompleted());
        QCOMPARE(result->qelt->id, QStringLiteral("new1"));

        const auto recorded = m_service->requests().value(0);
        QVERIFY(recorded.header("content-type").startsWith("multipart/form-data; boundary="));
        QCOMPARE(recorded.parts.size(), 2);
        QCOMPARE(recorded.parts[0].name + recorded.parts[0].fileName + recorded.parts[0].contentType,
                 QByteArray("fileimage.jpgimage/jpeg"));
        QCOMPARE(recorded.parts[0].data, jpeg);
        QCOMPARE(recorded.parts[1].name + recorded.parts[1].fileName + recorded.parts[1].contentType,
                 QByteArray("options_json"));
        QCOMPARE(recorded.parts[1].data, options);

        const CreateQeltTiming& timing = CreateQeltTiming::instance();
        QCOMPARE(timing.requestId + timing.qeltId + timing.inputType, QStringLiteral("req-7NEW1crop"));
        QCOMPARE((QVector<qint64>{timing.statusCode, timing.serverReadBodyMs, timing.serverOcrMs,
                                  timing.processedStamp}),
                 (QVector<qint64>{200, 12, 345, -1}));
        QVERIFY(timing.sentStamp > 0 && timing.receivedStamp >= timing.sentStamp);
    }

    void serviceErrorsKeepTheQeltOnlyFromAPicture()
    {
        m_service->on("POST", "/v1/qelts-multipart", Reply::json(createdJson(true)));
        m_service->on("POST", "/v1/qelts/strokes", Reply::json(createdJson(true)));
        QTest::ignoreMessage(QtWarningMsg, "[CreateQeltRequest] Received error: \"blurry\\n\"");
        const auto created = create();
        QVERIFY(created && created->hasError() && created->qelt);
        QCOMPARE(CreateQeltTiming::instance().qeltId, QStringLiteral("NEW1"));

        CreateQeltTiming::instance().qeltId = QStringLiteral("earlier");
        QTest::ignoreMessage(QtWarningMsg, "[CreateQeltFromStrokesRequest] Received error: \"blurry\\n\"");
        const auto fromStrokes = strokes({});
        QVERIFY(fromStrokes && fromStrokes->errors.size() == 1 && !fromStrokes->qelt);
        QCOMPARE(CreateQeltTiming::instance().qeltId, QStringLiteral("earlier"));
        QCOMPARE(CreateQeltTiming::instance().inputType, QStringLiteral("crop"));
    }

    void failedCreateStillRecordsStatusAndRequestId()
    {
        m_service->on("POST", "/v1/qelts-multipart",
                      Reply::text(503).withHeader("zorvane-request-id", "req-9"));
        zq::test::expectWarning("CreateQeltRequest", "Net error:");
        QVERIFY(create()->networkError.isSet());
        QCOMPARE(CreateQeltTiming::instance().statusCode, 503);
        QCOMPARE(CreateQeltTiming::instance().requestId, QStringLiteral("req-9"));
        QVERIFY(CreateQeltTiming::instance().receivedStamp > 0);
    }

    // An upload's answer may take longer than the limit while it keeps moving: the limit counts silence,
    // not length. One that stops is given up after the limit.
    void uploadIsCutOnlyWhenNothingMoves_data()
    {
        QTest::addColumn<int>("pauseMs"); // between the answer's pieces
        QTest::addColumn<bool>("cut");
        QTest::newRow("trickling past the limit") << kSilenceLimitMs / 10 << false;
        QTest::newRow("stopped after its first piece") << kSilenceLimitMs * 30 << true;
    }
    void uploadIsCutOnlyWhenNothingMoves()
    {
        QFETCH(int, pauseMs);
        QFETCH(bool, cut);
        Reply trickle = Reply::json(createdJson());
        for (int at = 0; at < trickle.body.size(); at += trickle.body.size() / 15 + 1)
            trickle.pieces << trickle.body.mid(at, trickle.body.size() / 15 + 1);
        trickle.pauseMs = pauseMs;
        m_service->on("POST", "/v1/qelts-multipart", trickle);
        if (cut) {
            QTest::ignoreMessage(QtWarningMsg,
                                 QRegularExpression("^\\[ZorvaneAPI::http\\] Nothing sent or received"));
            zq::test::expectWarning("CreateQeltRequest", "Net error: QNetworkReply::OperationCanceledError");
        }
        http::overrideTransferLimitForTesting(kSilenceLimitMs);
        QElapsedTimer clock;
        clock.start();
        const auto result = create();
        http::overrideTransferLimitForTesting(std::nullopt);
        QVERIFY(result);
        QCOMPARE(result->networkError.isSet(), cut);
        QCOMPARE(bool(result->qelt), !cut);
        if (!cut)
            QVERIFY(clock.elapsed() > kSilenceLimitMs);
    }

    void strokesBodyCarriesCoordinatesPerStroke_data()
    {
        QTest::addColumn<Strokes>("strokes");
        QTest::addColumn<bool>("diagrams");
        QTest::addColumn<QByteArray>("xs");
        QTest::addColumn<QByteArray>("ys");
        QTest::newRow("none") << Strokes() << true << QByteArray("[]") << QByteArray("[]");
        QTest::newRow("one of three points") << Strokes{{{1, 10}, {2.5, 20}, {3, 30}}} << false
                                             << QByteArray("[[1,2.5,3]]") << QByteArray("[[10,20,30]]");
        QTest::newRow("two, one empty")
            << Strokes{{{1, 2}}, {}} << true << QByteArray("[[1],[]]") << QByteArray("[[2],[]]");
    }

    void strokesBodyCarriesCoordinatesPerStroke()
    {
        QFETCH(Strokes, strokes);
        QFETCH(bool, diagrams);
        QFETCH(QByteArray, xs);
        QFETCH(QByteArray, ys);
        kKeyEnhancedDiagramData.set(diagrams);
        // No server times and no request id in the reply: they read as nothing. The stamps must follow
        // elapsed time: a process-time clock stands still while we wait.
        m_service->on("POST", "/v1/qelts/strokes", Reply::json(zq::test::qeltJson()).withDelay(60));
        QVERIFY(this->strokes(strokes));

        const auto recorded = m_service->requests().value(0);
        QCOMPARE(recorded.header("content-type"), QByteArray("application/json"));
        QVERIFY(recorded.body.contains("\n    \""));
        const QJsonObject body = recorded.json();
        const auto compact = [](const QJsonValue& v) {
            return QJsonDocument(v.toArray()).toJson(QJsonDocument::Compact);
        };
        QCOMPARE(compact(body["strokes"].toObject()["x"]), xs);
        QCOMPARE(compact(body["strokes"].toObject()["y"]), ys);
        QCOMPARE(body["config"].toObject()["zmd_version"].toString(), QStringLiteral("1.2.17"));
        QCOMPARE(body["include_diagrams"], QJsonValue(diagrams));
        const CreateQeltTiming& timing = CreateQeltTiming::instance();
        QVERIFY(timing.serverReadBodyMs == 0 && timing.serverOcrMs == 0 && timing.requestId.isEmpty());
        QVERIFY(timing.receivedStamp - timing.sentStamp >= 60'000);
        QCOMPARE(timing.inputType, QStringLiteral("strokes"));
    }

    void repeaterRetriesFailuresUntilSuccess()
    {
        m_service->enqueue("GET", "/v1/qelts/q1", Reply::text(500));
        m_service->enqueue("GET", "/v1/qelts/q1", Reply::json(zq::test::errorsJson({"busy", "later"})));
        m_service->enqueue("GET", "/v1/qelts/q1", Reply::raw("nonsense", "text/plain"));
        m_service->enqueue("GET", "/v1/qelts/q1", qelt("pending"));
        m_service->on("GET", "/v1/qelts/q1", qelt("completed"));
        for (int failure = 0; failure < 3; ++failure)
            zq::test::expectWarning("GetQeltRequest", QString());
        expectAttemptWarning(1, "Net error: \\d+ ");
        expectAttemptWarning(2, "API errors:\nlater$");
        expectAttemptWarning(3, "Unknown error$");
        expectAttemptWarning(4, "Recognition is not completed$");

        const auto series = repeater();
        QSignalSpy spy(series.get(), &RequestRepeater::finished);
        QVERIFY(series->exec(true));
        const auto result = zq::test::takeResult<QeltResult>(spy);
        QVERIFY(result && result->isCompleted());
        QCOMPARE(m_executions, 5);
    }

    void repeaterEndsAfterTheFifthFailure()
    {
        GetQeltRequest request(Provider::instance().networkAccessManager(), QString());
        QVERIFY_EXCEPTION_THROWN(RequestRepeater(nullptr, [](Request*) {}), std::runtime_error);
        QVERIFY_EXCEPTION_THROWN(RequestRepeater(&request, RequestRepeater::Executor()), std::runtime_error);
        QVERIFY_EXCEPTION_THROWN(Provider::instance().getQeltRepeater({}), std::runtime_error);

        m_service->on("GET", "/v1/qelts/q1", qelt("pending"));
        for (int attempt = 1; attempt <= 5; ++attempt)
            expectAttemptWarning(attempt, "Recognition is not completed$");
        const auto series = repeater();
        QSignalSpy spy(series.get(), &RequestRepeater::finished);
        QVERIFY(series->exec(false));
        QVERIFY(!series->exec(false)); // one series at a time
        const auto result = zq::test::takeResult<QeltResult>(spy);
        QVERIFY(result && result->qelt && !result->isCompleted());
        QCOMPARE(m_service->requestCount(), 5);

        // Idle again: a new series may start, with the token its request was made with...
        m_service->on("GET", "/v1/qelts/q1", qelt("completed"));
        QVERIFY(series->exec(false));
        QVERIFY(spy.wait(zq::test::kWaitMs));
        QCOMPARE(m_executions, 6);
        QCOMPARE(m_service->requests().last().header("authorization"), QByteArray("Bearer t0k"));
        // ...while the Provider holds it: after a sign-out the series ends at once, and sends nothing.
        Provider::instance().setToken(QString());
        QVERIFY(series->exec(false));
        QCOMPARE(spy.count(), 3);
        QCOMPARE(spy.last().first().value<ResultPtr>(), ResultPtr());
        QCOMPARE(m_service->requestCount(), 6);
    }

    void repeaterSendsNothingAfterTheSignOut()
    {
        m_service->on("GET", "/v1/qelts/q1", qelt("pending"));
        // The user signs out while the first attempt is on its way.
        connect(m_service.get(), &zq::test::FakeService::received, this,
                [] { Provider::instance().setToken(QString()); });
        expectAttemptWarning(1, "Recognition is not completed$");
        const auto series = repeater();
        QSignalSpy spy(series.get(), &RequestRepeater::finished);
        QVERIFY(series->exec(false));
        const auto result = zq::test::takeResult<QeltResult>(spy);
        QVERIFY(result && result->qelt && !result->isCompleted());
        QCOMPARE(m_service->requestCount(), 1);
    }
};

ZQ_TEST_MAIN(TestQeltRequests)
#include "test_qelt_requests.moc"
