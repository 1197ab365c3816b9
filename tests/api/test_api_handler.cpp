// The generic sender over real HTTP: one fake service stands for the API host, another for the gateway.
#include "api/APIHandler.h"

#include "core/identity.h"
#include "core/settings.h"
#include "core/userState.h"
#include "support/FakeService.h"
#include "support/TestMain.h"

#include <QJsonArray>
#include <QNetworkAccessManager>

using zq::test::FakeService;
using zq::test::Reply;

Q_DECLARE_METATYPE(zq::test::Reply)

namespace {

// What the callbacks of one send saw.
struct Outcome
{
    int successes = 0;
    int failures = 0;
    QJsonDocument document;
    QByteArray bytes;
    QJsonObject failure;

    APIHandler::SuccessCallback onSuccess()
    {
        return [this](const QJsonDocument& d) {
            ++successes;
            document = d;
        };
    }
    APIHandler::ByteCallback onBytes()
    {
        return [this](const QByteArray& b) {
            ++successes;
            bytes = b;
        };
    }
    APIHandler::FailCallback onFailure()
    {
        return [this](const QJsonObject& f) {
            ++failures;
            failure = f;
        };
    }
    int calls() const { return successes + failures; }

    // Sends JSON and waits for the one callback.
    bool send(const QString& path, const QString& method = "POST", const QJsonObject& body = {})
    {
        APIHandler::send(path, method, body, onSuccess(), onFailure());
        return QTest::qWaitFor([this] { return calls() == 1; });
    }

    bool sendBytes(const QString& path)
    {
        APIHandler::send_byte(path, "POST", {}, onBytes(), onFailure());
        return QTest::qWaitFor([this] { return calls() == 1; });
    }
};

const QString kToken = QStringLiteral("token-of-ada");

} // namespace

class TestAPIHandler : public QObject
{
    Q_OBJECT

private:
    QNetworkAccessManager manager;
    FakeService api;
    FakeService gateway;

private slots:
    void initTestCase()
    {
        QVERIFY(api.isListening());
        QVERIFY(gateway.isListening());
        APIHandler::init(&manager);
    }

    void init()
    {
        zq::test::clearSettings();
        utils::overrideBaseUrlsForTesting(api.baseUrl());
        utils::overrideGatewayUrlForTesting(gateway.baseUrl());
        APIHandler::overrideNetworkAvailabilityForTesting(true);
        utils::setAuthInfo(QStringLiteral("ada@example.org"), kToken);
        api.clearRoutes();
        api.clearRequests();
        gateway.clearRoutes();
        gateway.clearRequests();
    }

    void cleanupTestCase() { APIHandler::overrideNetworkAvailabilityForTesting(std::nullopt); }

    void refusalsComeBeforeReturningAndSendNothing_data()
    {
        QTest::addColumn<bool>("network");
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("id");
        QTest::newRow("no network, no token") << false << QString() << "network_unreachable";
        QTest::newRow("no network") << false << kToken << "network_unreachable";
        QTest::newRow("no token") << true << QString() << "token_missing";
    }

    void refusalsComeBeforeReturningAndSendNothing()
    {
        QFETCH(bool, network);
        QFETCH(QString, token);
        QFETCH(QString, id);
        APIHandler::overrideNetworkAvailabilityForTesting(network);
        utils::setAuthInfo(QStringLiteral("ada@example.org"), token);
        api.on("POST", "/v1/events", Reply::json(QJsonObject()));

        Outcome json;
        APIHandler::send("/v1/events", "POST", {}, json.onSuccess(), json.onFailure());
        QCOMPARE(json.failures, 1);
        QCOMPARE(json.failure.value("id").toString(), id);
        QVERIFY(!json.failure.value("message").toString().isEmpty());

        Outcome bytes;
        APIHandler::send_byte("/v1/export/docx", "POST", {}, bytes.onBytes(), bytes.onFailure());
        QCOMPARE(bytes.failures, 1);
        QCOMPARE(bytes.failure.value("id").toString(), id);

        // Nothing went out: a send that does go out afterwards is the first request the service sees.
        APIHandler::overrideNetworkAvailabilityForTesting(true);
        utils::setAuthInfo(QStringLiteral("ada@example.org"), kToken);
        QVERIFY(Outcome().send("/v1/events"));
        QCOMPARE(api.requestCount(), 1);
        QCOMPARE(json.calls() + bytes.calls(), 2);
    }

    void misuseFailsAtOnceAndNeverWaits()
    {
        Outcome unknown;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Unsupported method"));
        APIHandler::send("/v1/events", "PUT", {}, unknown.onSuccess(), unknown.onFailure());
        QCOMPARE(unknown.failures, 1);
        QCOMPARE(unknown.failure.value("id").toString(), QStringLiteral("network_reply_error"));

        // Without a manager nothing can be sent; the flush at exit must not wait either.
        APIHandler::init(nullptr);
        Outcome early;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("No network access manager"));
        APIHandler::send("/v1/events", "POST", {}, early.onSuccess(), early.onFailure());
        APIHandler::init(&manager);
        QCOMPARE(early.failures, 1);
        QCOMPARE(early.failure.value("id").toString(), QStringLiteral("network_reply_error"));
        QCOMPARE(api.requestCount(), 0);
    }

    void logsPathAloneGoesToTheGateway_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("bytes");
        QTest::addColumn<bool>("toGateway");
        QTest::newRow("logs") << "/v1/logs" << false << true;
        QTest::newRow("logs with query") << "/v1/logs?x=1" << false << false;
        QTest::newRow("logs in capitals") << "/V1/LOGS" << false << false;
        QTest::newRow("logs as bytes") << "/v1/logs" << true << false;
    }

    void logsPathAloneGoesToTheGateway()
    {
        QFETCH(QString, path);
        QFETCH(bool, bytes);
        QFETCH(bool, toGateway);
        const QString route = path.section('?', 0, 0);
        api.on("POST", route, Reply::json(QJsonObject{{"ok", true}}));
        gateway.on("POST", route, Reply::json(QJsonObject{{"ok", true}}));

        Outcome outcome;
        QVERIFY(bytes ? outcome.sendBytes(path) : outcome.send(path));
        QCOMPARE(outcome.successes, 1);
        QCOMPARE(gateway.requestCount(), toGateway ? 1 : 0);
        QCOMPARE(api.requestCount(), toGateway ? 0 : 1);
        const auto request = toGateway ? gateway.requests().first() : api.requests().first();
        QCOMPARE(request.path, route);
    }

    void requestCarriesTokenIdentityAndIndentedBody_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QJsonObject>("body");
        QTest::addColumn<QByteArray>("sent");
        const QJsonObject nonEmpty{{"a", 1}};
        QTest::newRow("GET drops its body") << "GET" << nonEmpty << QByteArray();
        QTest::newRow("DELETE with an empty object") << "DELETE" << QJsonObject() << QByteArray("{\n}\n");
        QTest::newRow("POST") << "POST" << nonEmpty << QByteArray("{\n    \"a\": 1\n}\n");
    }

    void requestCarriesTokenIdentityAndIndentedBody()
    {
        QFETCH(QString, method);
        QFETCH(QJsonObject, body);
        QFETCH(QByteArray, sent);
        api.on(method.toLatin1(), "/v1/user/settings", Reply::json(QJsonObject()));

        Outcome outcome;
        QVERIFY(outcome.send("/v1/user/settings", method, body));
        QCOMPARE(outcome.successes, 1);
        const auto request = api.requests().first();
        QCOMPARE(request.method, method.toLatin1());
        QCOMPARE(request.body, sent);
        QCOMPARE(request.header("authorization"), "Bearer " + kToken.toUtf8());
        QCOMPARE(request.header("user-agent"), utils::appVersionString().toUtf8());
        QCOMPARE(request.header("content-type"), QByteArray("application/json"));
    }

    void replyBodiesReachTheRightCallback_data()
    {
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<bool>("succeeds");
        QTest::addColumn<QJsonObject>("failure");
        const QJsonObject first{{"id", "first"}, {"message", "First."}, {"extra", 7}};
        const QJsonObject second{{"id", "second"}, {"message", "Second."}};
        const QJsonObject generic{{"id", "network_unreachable"},
                                  {"message", APIHandler::genericFailureText()}};
        QTest::newRow("two service errors")
            << Reply::json(QJsonObject{{"errors", QJsonArray{first, second}}}) << false << first;
        QTest::newRow("a service error that is no object")
            << Reply::json(QJsonObject{{"errors", QJsonArray{"text"}}}) << false << QJsonObject();
        QTest::newRow("empty errors")
            << Reply::json(QJsonObject{{"errors", QJsonArray()}}) << true << QJsonObject();
        QTest::newRow("array document")
            << Reply::json(QJsonDocument(QJsonArray{1, 2})) << true << QJsonObject();
        QTest::newRow("empty body") << Reply::raw(QByteArray(), "application/json") << false << generic;
        QTest::newRow("not JSON") << Reply::raw("<html>", "text/html") << false << generic;
    }

    void replyBodiesReachTheRightCallback()
    {
        QFETCH(Reply, reply);
        QFETCH(bool, succeeds);
        QFETCH(QJsonObject, failure);
        api.on("POST", "/v1/solve", reply);
        if (failure.value("id") == "network_unreachable")
            QTest::ignoreMessage(QtWarningMsg, "Server returned invalid json.");

        Outcome outcome;
        QVERIFY(outcome.send("/v1/solve"));
        QCOMPARE(outcome.successes, succeeds ? 1 : 0);
        if (succeeds)
            QCOMPARE(outcome.document, QJsonDocument::fromJson(reply.body));
        else
            QCOMPARE(outcome.failure, failure);
    }

    void httpErrorBodyIsNotParsed()
    {
        const QJsonObject error{{"id", "not_found"}, {"message", "No such thing."}};
        api.on("POST", "/v1/solve", Reply::json(QJsonObject{{"errors", QJsonArray{error}}}, 404));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Send Request error: .*ContentNotFoundError"));

        Outcome outcome;
        QVERIFY(outcome.send("/v1/solve"));
        QCOMPARE(outcome.failures, 1);
        QCOMPARE(outcome.failure.value("id").toString(), QStringLiteral("network_reply_error"));
        QVERIFY(outcome.failure.value("message").toString().contains("Not Found", Qt::CaseInsensitive));
    }

    void bytesArePassedRawAndEmptyBodyFails()
    {
        const QByteArray errorsBody = R"({"errors":[{"id":"x","message":"y"}]})";
        api.enqueue("POST", "/v1/export/docx", Reply::raw(errorsBody, "application/json"));
        api.enqueue("POST", "/v1/export/docx", Reply::raw(QByteArray()));

        Outcome raw;
        QVERIFY(raw.sendBytes("/v1/export/docx"));
        QCOMPARE(raw.bytes, errorsBody);

        QTest::ignoreMessage(QtWarningMsg, "Server returned invalid answer body");
        Outcome empty;
        QVERIFY(empty.sendBytes("/v1/export/docx"));
        QCOMPARE(empty.failure.value("id").toString(), QStringLiteral("network_unreachable"));
        QCOMPARE(empty.failure.value("message").toString(), APIHandler::genericFailureText());
    }

    // Redirects are not followed, so neither a JSON body nor a page on one may pass for the answer.
    void redirectFailsBothSends()
    {
        api.enqueue("POST", "/v1/solve",
                    Reply::json(QJsonObject{{"ok", true}}, 302)
                        .withHeader("Location", "https://elsewhere.example/v1/solve"));
        api.enqueue("POST", "/v1/export/docx",
                    Reply::raw("<html>Moved</html>", "text/html", 302)
                        .withHeader("Location", "https://elsewhere.example/export.docx"));
        QTest::ignoreMessage(QtWarningMsg, "[APIHandler] Redirect not followed, HTTP status 302");
        QTest::ignoreMessage(QtWarningMsg, "[APIHandler] Redirect not followed, HTTP status 302");

        Outcome json;
        QVERIFY(json.send("/v1/solve"));
        QCOMPARE(json.failures, 1);
        QCOMPARE(json.failure.value("message").toString(), APIHandler::genericFailureText());

        Outcome bytes;
        QVERIFY(bytes.sendBytes("/v1/export/docx"));
        QCOMPARE(bytes.failures, 1);
        QCOMPARE(bytes.failure.value("id").toString(), QStringLiteral("network_unreachable"));
        QCOMPARE(api.requestCount(), 2);
    }

    void consentIsReadAsStrictBoolean_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("stored");
        QTest::newRow("true") << QByteArray(R"({"improve_zorvane":true})") << true;
        QTest::newRow("missing") << QByteArray(R"({"other":1})") << false;
        QTest::newRow("string") << QByteArray(R"({"improve_zorvane":"true"})") << false;
    }

    void consentIsReadAsStrictBoolean()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, stored);
        kKeyImproveZorvaneOCR.set(!stored);
        api.on("GET", "/v1/user/settings", Reply::raw(body, "application/json"));
        APIHandler::GetImproveOCRSetting();
        QTRY_COMPARE(api.requestCount(), 1);
        QTRY_COMPARE(kKeyImproveZorvaneOCR.get(), stored);
        QVERIFY(api.requests().first().body.isEmpty());
    }

    void consentChangeIsStoredAtOnceAndFlagClearsOnlyOnSuccess()
    {
        bool failed = false;
        api.enqueue("PATCH", "/v1/user/settings", Reply::json(QJsonObject()));
        APIHandler::SetImproveOCRSetting(false, &failed);
        QVERIFY(failed);
        QCOMPARE(kKeyImproveZorvaneOCR.get(), false);
        QTRY_VERIFY(!failed);
        QCOMPARE(api.requests().first().json(), (QJsonObject{{"improve_zorvane", false}}));

        api.enqueue("PATCH", "/v1/user/settings", Reply::text(503));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Send Request error: "));
        APIHandler::SetImproveOCRSetting(true, &failed);
        QCOMPARE(kKeyImproveZorvaneOCR.get(), true);
        QTRY_COMPARE(api.requestCount(), 2);
        api.on("POST", "/v1/events", Reply::json(QJsonObject()));
        QVERIFY(Outcome().send("/v1/events"));
        QVERIFY(failed);

        // Without network the choice is still kept locally, and nothing is sent.
        APIHandler::overrideNetworkAvailabilityForTesting(false);
        failed = false;
        APIHandler::SetImproveOCRSetting(false, &failed);
        QVERIFY(failed);
        QCOMPARE(kKeyImproveZorvaneOCR.get(), false);
        QCOMPARE(api.requestsTo("/v1/user/settings").size(), 2);
    }

    void ocrFeedbackSendsCategoriesOnlyWhenOneIsSet_data()
    {
        QTest::addColumn<QJsonObject>("categories");
        QTest::addColumn<QString>("comment");
        QTest::addColumn<QJsonObject>("sent");
        const QJsonObject none{{"recognition", false}, {"formatting", false}, {"other", false}};
        const QJsonObject other{{"recognition", false}, {"other", true}};
        const QJsonObject base{{"qelt_id", "q1"}, {"ocr_feedback", 0}};
        QJsonObject withOther = base;
        withOther.insert("mistake_category", other);
        withOther.insert("comment", "Wrong sign.");
        QTest::newRow("all false") << none << QString() << base;
        QTest::newRow("other set, with comment") << other << "Wrong sign." << withOther;
        QTest::newRow("string true does not count")
            << QJsonObject{{"recognition", "true"}} << QString() << base;
    }

    void ocrFeedbackSendsCategoriesOnlyWhenOneIsSet()
    {
        QFETCH(QJsonObject, categories);
        QFETCH(QString, comment);
        QFETCH(QJsonObject, sent);
        api.on("POST", "/v1/user/ocr_feedback", Reply::json(QJsonObject()));
        APIHandler::sendOcrFeedback("q1", 0, categories, comment);
        QTRY_COMPARE(api.requestCount(), 1);
        QCOMPARE(api.requests().first().json(), sent);
    }
};

ZQ_TEST_MAIN(TestAPIHandler)
#include "test_api_handler.moc"
