#include "ApiTestSupport.h"

#include "api/GenerateLoginProcessIdRequest.h"
#include "api/GetLoginProcessStatusRequest.h"
#include "api/LoginIdResult.h"
#include "api/LoginProcessResult.h"
#include "api/Provider.h"
#include "support/TestMain.h"

using namespace ZorvaneAPI;
using zq::test::Reply;
using zq::test::ScopedFakeService;

Q_DECLARE_METATYPE(zq::test::Reply)

// Browser sign-in: opening a login process and polling its state, over loopback HTTP.
class TestLoginRequests : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScopedFakeService> m_service;

    static std::shared_ptr<LoginIdResult> openProcess()
    {
        return zq::test::runRequest<LoginIdResult>(Provider::instance().generateLoginProcessIdRequest(),
                                                   QStringLiteral("{c1}"));
    }

    static std::shared_ptr<LoginProcessResult> poll()
    {
        return zq::test::runRequest<LoginProcessResult>(Provider::instance().getLoginProcessStatusRequest(),
                                                        QStringLiteral("u1"), QStringLiteral("{c1}"));
    }

private slots:
    void init() { m_service = std::make_unique<ScopedFakeService>(QStringLiteral("secret")); }

    void cleanup() { m_service.reset(); }

    void loginIdIsPostedWithoutToken()
    {
        m_service->enqueue("POST", "/v1/user/logins", Reply::json(QJsonObject{{"uuid", "u1"}}));
        m_service->enqueue("POST", "/v1/user/logins", Reply::json(QJsonObject{{"uuid", 5}}));
        const auto result = openProcess();
        QVERIFY(result);
        QCOMPARE(result->uuid, QString("u1"));
        QVERIFY(!result->hasError());
        QVERIFY(result->isCompleted());

        const auto recorded = m_service->requests().value(0);
        QVERIFY(!recorded.headers.contains("authorization"));
        QCOMPARE(recorded.header("content-type"), QByteArray("application/json"));
        QCOMPARE(QString::fromUtf8(recorded.header("user-agent")), utils::appVersionString());
        QCOMPARE(recorded.json(), (QJsonObject{{"client_id", "{c1}"}}));

        const auto withoutUuid = openProcess();
        QVERIFY(withoutUuid);
        QVERIFY(withoutUuid->hasError());
        QVERIFY(!withoutUuid->isCompleted());
    }

    void statusReplies_data()
    {
        QTest::addColumn<QJsonObject>("reply");
        QTest::addColumn<bool>("hasError");
        QTest::addColumn<bool>("completed");
        QTest::newRow("pending") << QJsonObject{{"status", "pending"}} << false << false;
        QTest::newRow("completed") << QJsonObject{{"status", "completed"}, {"email", "a@b.c"}, {"token", "T"}}
                                   << false << true;
        QTest::newRow("completed without token")
            << QJsonObject{{"status", "completed"}, {"email", "a@b.c"}, {"token", ""}} << true << true;
        QTest::newRow("completed with numeric email")
            << QJsonObject{{"status", "completed"}, {"email", 1}, {"token", "T"}} << true << true;
        QTest::newRow("capital Completed")
            << QJsonObject{{"status", "Completed"}, {"email", "a@b.c"}, {"token", "T"}} << true << false;
        QTest::newRow("no status") << QJsonObject{{"email", "a@b.c"}} << true << false;
    }

    void statusReplies()
    {
        QFETCH(QJsonObject, reply);
        QFETCH(bool, hasError);
        QFETCH(bool, completed);
        m_service->on("GET", "/v1/user/logins/u1", Reply::json(reply));
        const auto result = poll();
        QVERIFY(result);
        QCOMPARE(result->hasError(), hasError);
        QCOMPARE(result->isCompleted(), completed);
        const auto recorded = m_service->requests().value(0);
        QCOMPARE(recorded.method, QByteArray("GET"));
        QCOMPARE(recorded.queryItem("client_id"), QString("{c1}"));
        QVERIFY(!recorded.headers.contains("authorization"));
        QCOMPARE(recorded.header("content-type"), QByteArray("application/json"));
        if (completed && !hasError) {
            QCOMPARE(result->email, QString("a@b.c"));
            QCOMPARE(result->token, QString("T"));
        }
    }

    void failedStatusKeepsFirstServiceError_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("keepsError");
        QTest::newRow("400") << 400 << true;
        QTest::newRow("403") << 403 << true;
        QTest::newRow("429") << 429 << true;
        QTest::newRow("404") << 404 << false;
        QTest::newRow("500") << 500 << false;
    }

    void failedStatusKeepsFirstServiceError()
    {
        QFETCH(int, status);
        QFETCH(bool, keepsError);
        m_service->on("GET", "/v1/user/logins/u1",
                      Reply::json(zq::test::errorsJson({"unknown_login_uuid", "M", "other", "N"}), status));
        if (!keepsError)
            zq::test::expectWarning("GetLoginProcessStatusRequest", "Net error:");
        const auto result = poll();
        QVERIFY(result);
        QVERIFY(result->hasError());
        QVERIFY(result->networkError.isSet());
        if (keepsError) {
            QCOMPARE(result->errors.size(), 1);
            QCOMPARE(result->errors.first().id, QString("unknown_login_uuid"));
        } else {
            QVERIFY(result->errors.isEmpty());
        }
    }
};

ZQ_TEST_MAIN(TestLoginRequests)
#include "test_login_requests.moc"
