#include "ApiTestSupport.h"

#include "api/GetQeltRequest.h"
#include "api/Provider.h"
#include "api/QeltResult.h"
#include "api/RequestRepeater.h"
#include "support/TestMain.h"

using namespace ZorvaneAPI;
using zq::test::Reply;
using zq::test::ScopedFakeService;

// The repeater waits for a Qelt the service is still working on; the provider hands out requests
// bound to its manager and to the token of the moment.
class TestRequestRepeater : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScopedFakeService> m_service;
    int m_executions = 0;

    // A repeater over a real fetch of Qelt "q1", with a short pause between attempts.
    RequestRepeater* makeRepeater()
    {
        auto* repeater = Provider::instance().getQeltRepeater([this](Request* request) {
            ++m_executions;
            static_cast<GetQeltRequest*>(request)->exec(QStringLiteral("q1"));
        });
        repeater->setDelay(1);
        return repeater;
    }

    static Reply qelt(const char* status) { return Reply::json(zq::test::qeltJson("q1", status)); }

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
        m_executions = 0;
    }

    void cleanup() { m_service.reset(); }

    void constructorRefusesMissingParts()
    {
        GetQeltRequest request(Provider::instance().networkAccessManager(), QString());
        QVERIFY_EXCEPTION_THROWN(RequestRepeater(nullptr, [](Request*) {}), std::runtime_error);
        QVERIFY_EXCEPTION_THROWN(RequestRepeater(&request, RequestRepeater::Executor()), std::runtime_error);
        QVERIFY_EXCEPTION_THROWN(Provider::instance().getQeltRepeater(RequestRepeater::Executor()),
                                 std::runtime_error);
    }

    void secondExecDuringASeriesIsRefused()
    {
        m_service->on("GET", "/v1/qelts/q1", qelt("completed"));
        std::unique_ptr<RequestRepeater> repeater(makeRepeater());
        QSignalSpy spy(repeater.get(), &RequestRepeater::finished);
        QVERIFY(repeater->exec(false));
        QVERIFY(!repeater->exec(false));
        QVERIFY(spy.wait());
        QCOMPARE(m_executions, 1);
        QCOMPARE(m_service->requestCount(), 1);
    }

    void failuresAreRetriedUntilSuccess()
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

        std::unique_ptr<RequestRepeater> repeater(makeRepeater());
        QSignalSpy spy(repeater.get(), &RequestRepeater::finished);
        QVERIFY(repeater->exec(true));
        const auto result = zq::test::takeResult<QeltResult>(spy);
        QVERIFY(result);
        QVERIFY(result->isCompleted());
        QCOMPARE(m_executions, 5);
    }

    void fifthFailureEndsTheSeries()
    {
        m_service->on("GET", "/v1/qelts/q1", qelt("pending"));
        for (int attempt = 1; attempt <= 5; ++attempt)
            expectAttemptWarning(attempt, "Recognition is not completed$");

        std::unique_ptr<RequestRepeater> repeater(makeRepeater());
        QSignalSpy spy(repeater.get(), &RequestRepeater::finished);
        QVERIFY(repeater->exec(false));
        const auto result = zq::test::takeResult<QeltResult>(spy);
        QVERIFY(result);
        QVERIFY(result->qelt);
        QVERIFY(!result->isCompleted());
        QCOMPARE(m_executions, 5);
        QCOMPARE(m_service->requestCount(), 5);

        // Idle again: a new series may start.
        m_service->on("GET", "/v1/qelts/q1", qelt("completed"));
        QVERIFY(repeater->exec(false));
        QVERIFY(spy.wait());
        QCOMPARE(m_executions, 6);
    }

    void requestsKeepTheTokenTheyWereMadeWith()
    {
        m_service->on("GET", "/v1/qelts/q1", qelt("completed"));
        std::unique_ptr<GetQeltRequest> request(Provider::instance().getQeltRequest());
        Provider::instance().setToken(QStringLiteral("later"));
        QSignalSpy spy(request.get(), &Request::finished);
        request->exec(QStringLiteral("q1"));
        QVERIFY(spy.wait());
        QCOMPARE(m_service->requests().value(0).header("authorization"), QByteArray("Bearer t0k"));
    }
};

ZQ_TEST_MAIN(TestRequestRepeater)
#include "test_request_repeater.moc"
