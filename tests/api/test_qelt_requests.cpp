#include "ApiTestSupport.h"

#include "api/CreateQeltFromStrokesRequest.h"
#include "api/CreateQeltRequest.h"
#include "api/CreateQeltTiming.h"
#include "api/GetQeltRequest.h"
#include "api/QeltResult.h"
#include "core/settings.h"
#include "support/TestMain.h"

#include <QNetworkAccessManager>

using namespace ZorvaneAPI;
using zq::test::Reply;
using zq::test::ScopedFakeService;

// What the three Qelt calls put on the wire, and what their replies leave in the result and in the
// recognition timing record.
class TestQeltRequests : public QObject
{
    Q_OBJECT

    QNetworkAccessManager m_manager;
    std::unique_ptr<ScopedFakeService> m_service;

    template <typename RequestType, typename... Args> std::shared_ptr<QeltResult> run(Args&&... args)
    {
        return zq::test::runRequest<QeltResult>(new RequestType(&m_manager, QStringLiteral("t0k")),
                                                std::forward<Args>(args)...);
    }

    static QJsonObject createdJson(const QJsonArray& errors = QJsonArray())
    {
        QJsonObject object = zq::test::qeltJson(QStringLiteral("NEW1"), QStringLiteral("pending"));
        object["time_ms"] = QJsonObject{{"read_request_body", 12}, {"ocr_api_response", 345}};
        if (!errors.isEmpty())
            object["errors"] = errors;
        return object;
    }

    static QJsonArray oneError()
    {
        return zq::test::errorsJson({"low_quality", "blurry"})["errors"].toArray();
    }

private slots:
    void init()
    {
        m_service = std::make_unique<ScopedFakeService>();
        CreateQeltTiming::instance().reset();
        zq::test::clearSettings();
    }

    void cleanup() { m_service.reset(); }

    void createUploadsImageAndOptionsAsMultipart()
    {
        m_service->on("POST", "/v1/qelts-multipart", Reply::json(createdJson()));
        const QByteArray jpeg("\xff\xd8\xff\xe0 jpeg bytes \x00\x01", 19);
        const QByteArray options(R"({"formats":["text"],"math_inline_delimiters":["$","$"]})");
        QVERIFY(run<CreateQeltRequest>(jpeg, options));

        const auto recorded = m_service->requests().value(0);
        QCOMPARE(recorded.method, QByteArray("POST"));
        QCOMPARE(recorded.path, QStringLiteral("/v1/qelts-multipart"));
        QCOMPARE(recorded.header("authorization"), QByteArray("Bearer t0k"));
        QCOMPARE(QString::fromUtf8(recorded.header("user-agent")), utils::appVersionString());
        QVERIFY(recorded.header("content-type").startsWith("multipart/form-data; boundary="));
        QCOMPARE(recorded.parts.size(), 2);
        QCOMPARE(recorded.parts[0].name, QByteArray("file"));
        QCOMPARE(recorded.parts[0].fileName, QByteArray("image.jpg"));
        QCOMPARE(recorded.parts[0].contentType, QByteArray("image/jpeg"));
        QCOMPARE(recorded.parts[0].data, jpeg);
        QCOMPARE(recorded.parts[1].name, QByteArray("options_json"));
        QVERIFY(recorded.parts[1].fileName.isEmpty());
        QVERIFY(recorded.parts[1].contentType.isEmpty());
        QCOMPARE(recorded.parts[1].data, options);
    }

    void createFillsResultAndTiming()
    {
        m_service->on("POST", "/v1/qelts-multipart",
                      Reply::json(createdJson()).withHeader("zorvane-request-id", "req-7"));
        const auto result = run<CreateQeltRequest>(QByteArray("jpeg"), QByteArray("{}"));
        QVERIFY(result);
        QVERIFY(!result->hasError());
        QCOMPARE(result->qelt->id, QStringLiteral("new1"));
        QVERIFY(!result->isCompleted());

        const CreateQeltTiming& timing = CreateQeltTiming::instance();
        QCOMPARE(timing.requestId, QStringLiteral("req-7"));
        QCOMPARE(timing.qeltId, QStringLiteral("NEW1"));
        QCOMPARE(timing.statusCode, 200);
        QCOMPARE(timing.inputType, QStringLiteral("crop"));
        QCOMPARE(timing.serverReadBodyMs, 12);
        QCOMPARE(timing.serverOcrMs, 345);
        QVERIFY(timing.sentStamp > 0);
        QVERIFY(timing.receivedStamp >= timing.sentStamp);
        QCOMPARE(timing.processedStamp, -1);
    }

    void timingStampsCountTheWaitForTheService()
    {
        // The stamps must follow elapsed time: a process-time clock stands still while we wait.
        const int delayMs = 120;
        m_service->on("POST", "/v1/qelts/strokes", Reply::json(createdJson()).withDelay(delayMs));
        QVERIFY(run<CreateQeltFromStrokesRequest>(QVector<QVector<QPointF>>{{{1, 2}}}));
        const CreateQeltTiming& timing = CreateQeltTiming::instance();
        QVERIFY2(timing.receivedStamp - timing.sentStamp >= delayMs * 1000,
                 qPrintable(QString::number(timing.receivedStamp - timing.sentStamp)));
    }

    void createKeepsQeltBesideServiceErrors()
    {
        m_service->on("POST", "/v1/qelts-multipart", Reply::json(createdJson(oneError())));
        QTest::ignoreMessage(QtWarningMsg, "[CreateQeltRequest] Received error: \"blurry\\n\"");
        const auto result = run<CreateQeltRequest>(QByteArray("jpeg"), QByteArray("{}"));
        QVERIFY(result);
        QCOMPARE(result->errors.size(), 1);
        QVERIFY(result->qelt);
        QVERIFY(result->hasError());
        QCOMPARE(CreateQeltTiming::instance().qeltId, QStringLiteral("NEW1"));
        QCOMPARE(CreateQeltTiming::instance().inputType, QStringLiteral("crop"));
    }

    void strokesStopAtServiceErrors()
    {
        CreateQeltTiming::instance().qeltId = QStringLiteral("earlier");
        CreateQeltTiming::instance().inputType = QStringLiteral("crop");
        m_service->on("POST", "/v1/qelts/strokes", Reply::json(createdJson(oneError())));
        QTest::ignoreMessage(QtWarningMsg, "[CreateQeltFromStrokesRequest] Received error: \"blurry\\n\"");
        const auto result = run<CreateQeltFromStrokesRequest>(QVector<QVector<QPointF>>());
        QVERIFY(result);
        QCOMPARE(result->errors.size(), 1);
        QVERIFY(!result->qelt);
        QCOMPARE(CreateQeltTiming::instance().qeltId, QStringLiteral("earlier"));
        QCOMPARE(CreateQeltTiming::instance().inputType, QStringLiteral("crop"));
        QCOMPARE(CreateQeltTiming::instance().statusCode, 200);
    }

    void missingServerTimesAndRequestIdReadAsNothing()
    {
        m_service->on("POST", "/v1/qelts/strokes", Reply::json(zq::test::qeltJson()));
        QVERIFY(run<CreateQeltFromStrokesRequest>(QVector<QVector<QPointF>>()));
        const CreateQeltTiming& timing = CreateQeltTiming::instance();
        QCOMPARE(timing.serverReadBodyMs, 0);
        QCOMPARE(timing.serverOcrMs, 0);
        QCOMPARE(timing.requestId, QString());
        QCOMPARE(timing.inputType, QStringLiteral("strokes"));
    }

    void failedCreateStillRecordsStatusAndRequestId()
    {
        m_service->on("POST", "/v1/qelts-multipart",
                      Reply::text(503).withHeader("zorvane-request-id", "req-9"));
        zq::test::expectWarning("CreateQeltRequest", "Net error:");
        const auto result = run<CreateQeltRequest>(QByteArray("jpeg"), QByteArray("{}"));
        QVERIFY(result);
        QVERIFY(result->networkError.isSet());
        QVERIFY(result->hasError());
        QCOMPARE(CreateQeltTiming::instance().statusCode, 503);
        QCOMPARE(CreateQeltTiming::instance().requestId, QStringLiteral("req-9"));
        QVERIFY(CreateQeltTiming::instance().receivedStamp > 0);
    }

    void strokesBodyCarriesCoordinatesPerStroke_data()
    {
        QTest::addColumn<QVector<QVector<QPointF>>>("strokes");
        QTest::addColumn<bool>("diagrams");
        QTest::addColumn<QByteArray>("xs");
        QTest::addColumn<QByteArray>("ys");

        QTest::newRow("none") << QVector<QVector<QPointF>>() << true << QByteArray("[]") << QByteArray("[]");
        QTest::newRow("one of three points")
            << QVector<QVector<QPointF>>{{{1, 10}, {2.5, 20}, {3, 30}}} << false << QByteArray("[[1,2.5,3]]")
            << QByteArray("[[10,20,30]]");
        QTest::newRow("two, one empty") << QVector<QVector<QPointF>>{{{1, 2}}, {}} << true
                                        << QByteArray("[[1],[]]") << QByteArray("[[2],[]]");
    }

    void strokesBodyCarriesCoordinatesPerStroke()
    {
        QFETCH(QVector<QVector<QPointF>>, strokes);
        QFETCH(bool, diagrams);
        QFETCH(QByteArray, xs);
        QFETCH(QByteArray, ys);

        kKeyEnhancedDiagramData.set(diagrams);
        m_service->on("POST", "/v1/qelts/strokes", Reply::json(zq::test::qeltJson()));
        QVERIFY(run<CreateQeltFromStrokesRequest>(strokes));

        const auto recorded = m_service->requests().value(0);
        QCOMPARE(recorded.header("content-type"), QByteArray("application/json"));
        QCOMPARE(recorded.header("authorization"), QByteArray("Bearer t0k"));
        // Sent in the indented form.
        QVERIFY(recorded.body.contains("\n    \""));
        const QJsonObject body = recorded.json();
        const auto compact = [](const QJsonValue& value) {
            return QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact);
        };
        QCOMPARE(compact(body["strokes"].toObject()["x"]), xs);
        QCOMPARE(compact(body["strokes"].toObject()["y"]), ys);
        QCOMPARE(body["config"].toObject()["zmd_version"].toString(), QStringLiteral("1.2.17"));
        QCOMPARE(body["include_diagrams"], QJsonValue(diagrams));
    }

    void fetchReadsOneQelt_data()
    {
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("completed");
        QTest::newRow("completed") << "completed" << true;
        QTest::newRow("pending") << "pending" << false;
    }

    void fetchReadsOneQelt()
    {
        QFETCH(QString, status);
        QFETCH(bool, completed);
        m_service->on("GET", "/v1/qelts/AbC9", Reply::json(zq::test::qeltJson("AbC9", status)));
        const auto result = run<GetQeltRequest>(QStringLiteral("AbC9"));
        QVERIFY(result);
        const auto recorded = m_service->requests().value(0);
        QCOMPARE(recorded.method, QByteArray("GET"));
        QCOMPARE(recorded.header("authorization"), QByteArray("Bearer t0k"));
        QCOMPARE(QString::fromUtf8(recorded.header("user-agent")), utils::appVersionString());
        QVERIFY(recorded.body.isEmpty());
        QVERIFY(!result->hasError());
        QCOMPARE(result->qelt->id, QStringLiteral("abc9"));
        QCOMPARE(result->isCompleted(), completed);
        // Fetching leaves the recognition timing alone.
        QCOMPARE(CreateQeltTiming::instance().statusCode, -1);
    }
};

ZQ_TEST_MAIN(TestQeltRequests)
#include "test_qelt_requests.moc"
