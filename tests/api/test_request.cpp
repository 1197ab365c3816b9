#include "ApiTestSupport.h"

#include "api/CreateQeltRequest.h"
#include "api/GetQeltRequest.h"
#include "api/QeltResult.h"
#include "support/TestMain.h"

#include <QNetworkAccessManager>

using namespace ZorvaneAPI;
using zq::test::Reply;
using zq::test::ScopedFakeService;

Q_DECLARE_METATYPE(zq::test::Reply)

// The reply procedure that every request shares, driven through real requests over loopback HTTP.
class TestRequest : public QObject
{
    Q_OBJECT

    QNetworkAccessManager m_manager;
    std::unique_ptr<ScopedFakeService> m_service;

    std::shared_ptr<QeltResult> fetch()
    {
        return zq::test::runRequest<QeltResult>(new GetQeltRequest(&m_manager, "t0k"),
                                                QStringLiteral("ab12"));
    }

private slots:
    void init() { m_service = std::make_unique<ScopedFakeService>(); }

    void cleanup() { m_service.reset(); }

    void constructorRefusesNullManager()
    {
        QVERIFY_EXCEPTION_THROWN(GetQeltRequest(nullptr, QStringLiteral("t0k")), std::runtime_error);
    }

    void everyReplyEndsInOneResult_data()
    {
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<bool>("networkError");
        QTest::addColumn<QStringList>("errorIds");
        QTest::addColumn<bool>("hasQelt");
        QTest::addColumn<QString>("warning");

        QTest::newRow("qelt") << Reply::json(zq::test::qeltJson()) << false << QStringList() << true
                              << QString();
        QTest::newRow("empty body") << Reply::raw("", "application/json") << false << QStringList() << false
                                    << "Failed to parse json: \"\"";
        QTest::newRow("not json") << Reply::raw("<html>busy</html>", "text/html") << false << QStringList()
                                  << false << "Failed to parse json:";
        QTest::newRow("json array") << Reply::raw("[1,2]", "application/json") << false << QStringList()
                                    << false << "Failed to parse json:";
        QTest::newRow("invalid qelt") << Reply::json(QJsonObject{{"id", "x"}}) << false << QStringList()
                                      << false << "Received invalid results:";

        QJsonObject twoErrors = zq::test::qeltJson();
        twoErrors["errors"] = QJsonArray{QJsonObject{{"id", "e1"}, {"message", "first"}},
                                         QJsonObject{{"id", "e2"}, {"message", "second"}}};
        QTest::newRow("service errors") << Reply::json(twoErrors) << false << QStringList{"e1", "e2"} << false
                                        << "Received error: \"first\\nsecond\\n\"";

        // Entries that are not well-formed errors are skipped and the payload is read.
        QJsonObject junkErrors = zq::test::qeltJson();
        junkErrors["errors"] = QJsonArray{"text", 7, QJsonObject{{"id", 3}, {"message", "m"}}};
        QTest::newRow("malformed errors")
            << Reply::json(junkErrors) << false << QStringList() << true << QString();

        // Not followed, so even a well-formed body on a redirect is no answer.
        QTest::newRow("redirect") << Reply::json(zq::test::qeltJson(), 302)
                                         .withHeader("Location", "https://elsewhere.example/v1/qelts/ab12")
                                  << true << QStringList() << false
                                  << "Redirect not followed, HTTP status 302";
        QTest::newRow("http 500") << Reply::json(QJsonObject{{"message", "down"}}, 500) << true
                                  << QStringList() << false
                                  << "Net error: QNetworkReply::InternalServerError";
        QTest::newRow("http 404") << Reply::text(404) << true << QStringList() << false
                                  << "Net error: QNetworkReply::ContentNotFoundError";
        QTest::newRow("reset mid-body") << Reply::json(zq::test::qeltJson()).closedAfter(10) << true
                                        << QStringList() << false << "Net error:";
    }

    void everyReplyEndsInOneResult()
    {
        QFETCH(Reply, reply);
        QFETCH(bool, networkError);
        QFETCH(QStringList, errorIds);
        QFETCH(bool, hasQelt);
        QFETCH(QString, warning);

        m_service->on("GET", "/v1/qelts/ab12", reply);
        if (!warning.isEmpty())
            zq::test::expectWarning("GetQeltRequest", warning);
        const auto result = fetch();
        QVERIFY(result);
        QCOMPARE(result->networkError.isSet(), networkError);
        QStringList ids;
        for (const ApiError& error : result->errors)
            ids << error.id;
        QCOMPARE(ids, errorIds);
        QCOMPARE(bool(result->qelt), hasQelt);
        QCOMPARE(result->hasError(), !hasQelt);
        if (hasQelt)
            QCOMPARE(result->qelt->id, QStringLiteral("ab12"));
    }

    void refusedConnectionIsANetworkError()
    {
        utils::overrideBaseUrlsForTesting(zq::test::refusingBaseUrl());
        zq::test::expectWarning("GetQeltRequest", "Net error: QNetworkReply::ConnectionRefusedError");
        const auto result = fetch();
        QVERIFY(result);
        QCOMPARE(result->networkError.code, int(QNetworkReply::ConnectionRefusedError));
        QVERIFY(!result->networkError.message.isEmpty());
        QVERIFY(result->errors.isEmpty());
    }

    void rateLimitIsProbedOnlyOnCreate_data()
    {
        QTest::addColumn<bool>("create");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("errorId");

        const auto limited = [](const char* id) {
            return QJsonDocument(zq::test::errorsJson({id, "slow down", "other", "x"})).toJson();
        };
        QTest::newRow("day limit") << true << 429 << limited("too_many_requests_day")
                                   << "too_many_requests_day";
        QTest::newRow("minute limit")
            << true << 429 << limited("too_many_requests_minute") << "too_many_requests_minute";
        QTest::newRow("other id first") << true << 429 << limited("quota") << QString();
        QTest::newRow("not json") << true << 429 << QByteArray("Too many") << QString();
        QTest::newRow("403 is not probed") << true << 403 << limited("too_many_requests_day") << QString();
        QTest::newRow("fetch is not probed") << false << 429 << limited("too_many_requests_day") << QString();
    }

    void rateLimitIsProbedOnlyOnCreate()
    {
        QFETCH(bool, create);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, errorId);

        const Reply reply = Reply::raw(body, "application/json", status);
        m_service->on("POST", "/v1/qelts-multipart", reply);
        m_service->on("GET", "/v1/qelts/ab12", reply);
        const QString className = create ? "CreateQeltRequest" : "GetQeltRequest";
        if (errorId.isEmpty()) {
            zq::test::expectWarning(className, "Net error: ");
        } else {
            QTest::ignoreMessage(QtWarningMsg, "[CreateQeltRequest] Found 429.");
            QTest::ignoreMessage(QtInfoMsg, "[CreateQeltRequest] \"slow down\"");
        }
        const auto result = create
                                ? zq::test::runRequest<QeltResult>(new CreateQeltRequest(&m_manager, "t0k"),
                                                                   QByteArray("jpeg"), QByteArray("{}"))
                                : fetch();
        QVERIFY(result);
        QVERIFY(result->networkError.isSet());
        QCOMPARE(result->errors.size(), errorId.isEmpty() ? 0 : 1);
        if (!errorId.isEmpty()) {
            QCOMPARE(result->errors.first().id, errorId);
            QVERIFY(isTooManyRequestsError(result->errors.first().id));
        }
    }

    void nonReplySenderGivesAnEmptyResult()
    {
        GetQeltRequest request(&m_manager, QStringLiteral("t0k"));
        QSignalSpy spy(&request, &Request::finished);
        QTest::ignoreMessage(QtWarningMsg, "[GetQeltRequest] Invalid sender");
        QVERIFY(QMetaObject::invokeMethod(&request, "responseHandler"));
        QCOMPARE(spy.count(), 1);
        const auto result = std::dynamic_pointer_cast<QeltResult>(spy.first().first().value<ResultPtr>());
        QVERIFY(result);
        QVERIFY(!result->networkError.isSet());
        QVERIFY(result->errors.isEmpty());
        QVERIFY(!result->qelt);
    }

    void droppedRequestTakesItsReplyAlong()
    {
        m_service->on("GET", "/v1/qelts/ab12", Reply::silence());
        auto* request = new GetQeltRequest(&m_manager, QStringLiteral("t0k"));
        request->exec(QStringLiteral("ab12"));
        QTRY_COMPARE(m_service->requestCount(), 1);
        QPointer<QNetworkReply> reply = request->findChild<QNetworkReply*>();
        QVERIFY(reply);
        delete request;
        QVERIFY(!reply);
    }
};

ZQ_TEST_MAIN(TestRequest)
#include "test_request.moc"
