#include "ApiTestSupport.h"

#include "api/ClearChatHistoryRequest.h"
#include "api/CreateQeltRequest.h"
#include "api/GenerateLoginProcessIdRequest.h"
#include "api/GetChatHistoryRequest.h"
#include "api/GetLoginProcessStatusRequest.h"
#include "api/GetQeltRequest.h"
#include "api/LoginIdResult.h"
#include "api/LoginProcessResult.h"
#include "api/PdfResult.h"
#include "api/QeltResult.h"
#include "api/UploadFileRequest.h"
#include "api/run.h"
#include "core/userState.h"
#include "support/SilentService.h"
#include "support/TestMain.h"

using namespace ZorvaneAPI;
using zq::test::Reply;
using zq::test::ScopedFakeService;

Q_DECLARE_METATYPE(zq::test::Reply)

namespace {

template <typename RequestType, typename... Args> Request* started(RequestType* request, Args... args)
{
    request->exec(args...);
    return request;
}

// One request of each failed-reply rule: the default one (create), no probe (fetch), the chat's (403
// too) and the uploads' (every service error kept).
Request* start(const QString& kind)
{
    Provider& provider = Provider::instance();
    if (kind == "create")
        return started(provider.createQeltRequest(), QByteArray("jpeg"), QByteArray("{}"));
    if (kind == "fetch")
        return started(provider.getQeltRequest(), QString("ab12"));
    if (kind == "chat")
        return started(provider.getChatHistoryRequest(), QString("q1"));
    if (kind == "clear")
        return started(provider.clearChatHistoryRequest(), QString("q1"));
    return started(provider.uploadFileRequest(), QByteArray("zip"));
}

QStringList idsOf(const Result& result)
{
    QStringList ids;
    for (const ApiError& error : result.errors)
        ids << error.id;
    return ids;
}

} // namespace

// The reply procedure that every request shares, driven through real requests over loopback HTTP.
class TestRequest : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScopedFakeService> m_service;

private slots:
    void init() { m_service = std::make_unique<ScopedFakeService>(QStringLiteral("t0k")); }

    void cleanup() { m_service.reset(); }

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
        twoErrors["errors"] = zq::test::errorsJson({"e1", "first", "e2", "second"})["errors"];
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
        QTest::newRow("http 404") << Reply::text(404) << true << QStringList() << false
                                  << "Net error: QNetworkReply::ContentNotFoundError";
        QTest::newRow("reset mid-body") << Reply::json(zq::test::qeltJson()).closedAfter(10) << true
                                        << QStringList() << false << "Net error:";
        // Given up after the transfer's limit, which the stalled call has short.
        QTest::newRow("taken, never answered") << Reply::silence() << true << QStringList() << false
                                               << "Net error: QNetworkReply::OperationCanceledError";
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
        zq::test::SilentService silent;
        if (reply.noAnswer)
            silent.beginStall();
        const auto result =
            zq::test::runRequest<QeltResult>(Provider::instance().getQeltRequest(), QString("ab12"));
        silent.endStall();
        QVERIFY(result);
        QCOMPARE(result->networkError.isSet(), networkError);
        QCOMPARE(idsOf(*result), errorIds);
        QCOMPARE(bool(result->qelt), hasQelt);
        QCOMPARE(result->hasError(), !hasQelt);
        if (hasQelt)
            QCOMPARE(result->qelt->id, QStringLiteral("ab12"));
        if (reply.noAnswer)
            return;
        const auto recorded = m_service->requests().value(0);
        QCOMPARE(recorded.header("authorization"), QByteArray("Bearer t0k"));
        QCOMPARE(QString::fromUtf8(recorded.header("user-agent")), utils::appVersionString());
    }

    void failedReplyKeepsTheErrorsItsRuleAllows_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("errors");
        QTest::addColumn<bool>("rateLimited");

        const auto limited = [](const char* id) {
            return QJsonDocument(zq::test::errorsJson({id, "slow down", "other", "x"})).toJson();
        };
        const QByteArray day = limited("too_many_requests_day"), minute = limited("too_many_requests_minute");
        QTest::newRow("create 429 day") << "create" << 429 << day << 1 << true;
        QTest::newRow("create 429 other id first") << "create" << 429 << limited("quota") << 0 << false;
        QTest::newRow("create 429 not json") << "create" << 429 << QByteArray("Too many") << 0 << false;
        QTest::newRow("create 403") << "create" << 403 << day << 0 << false;
        QTest::newRow("fetch is not probed") << "fetch" << 429 << day << 0 << false;
        QTest::newRow("chat 403 day") << "chat" << 403 << day << 1 << true;
        QTest::newRow("chat 429 minute") << "chat" << 429 << minute << 1 << true;
        QTest::newRow("chat 403 other") << "chat" << 403 << limited("forbidden") << 0 << false;
        QTest::newRow("chat 500 month") << "chat" << 500 << limited("too_many_requests_month") << 0 << false;
        QTest::newRow("clear 403 day") << "clear" << 403 << day << 1 << true;
        QTest::newRow("upload 400 day") << "upload" << 400 << day << 2 << true;
        QTest::newRow("upload 429 minute") << "upload" << 429 << minute << 2 << true;
        QTest::newRow("upload 400 other") << "upload" << 400 << limited("invalid_file") << 2 << false;
        QTest::newRow("upload 403 day") << "upload" << 403 << day << 2 << false;
        QTest::newRow("upload 500") << "upload" << 500 << day << 0 << false;
    }

    void failedReplyKeepsTheErrorsItsRuleAllows()
    {
        QFETCH(QString, kind);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(int, errors);
        QFETCH(bool, rateLimited);

        for (const QByteArray method : {"GET", "POST", "DELETE"})
            m_service->on(method, "/*", Reply::raw(body, "application/json", status));
        std::unique_ptr<Request> owner(start(kind));
        const QString className = QString(owner->metaObject()->className()).section("::", 1);
        if (rateLimited) {
            QTest::ignoreMessage(QtWarningMsg, qPrintable("[" + className + "] Found 429."));
            QTest::ignoreMessage(QtInfoMsg, qPrintable("[" + className + "] \"slow down\""));
        } else {
            zq::test::expectWarning(className, "Net error: ");
        }
        QSignalSpy spy(owner.get(), &Request::finished);
        const auto result = zq::test::takeResult<Result>(spy);
        QVERIFY(result && result->hasError() && result->networkError.isSet());
        QCOMPARE(result->errors.size(), errors);
        if (errors)
            QCOMPARE(result->errors.first().message, QStringLiteral("slow down"));
    }

    // The share every upload and download reports; the network layer gives -1 while it knows no total.
    void progressIsAShareOfTheBody_data()
    {
        QTest::addColumn<qint64>("done");
        QTest::addColumn<qint64>("total");
        QTest::addColumn<int>("percent");
        QTest::newRow("no total") << qint64(10) << qint64(0) << -1;
        QTest::newRow("open total") << qint64(4096) << qint64(-1) << -1;
        QTest::newRow("truncated") << qint64(1023) << qint64(1024) << 99;
        QTest::newRow("all") << qint64(1024) << qint64(1024) << 100;
        QTest::newRow("more than the total") << qint64(300) << qint64(200) << -1;
        QTest::newRow("huge file") << qint64(3'000'000'000) << qint64(6'000'000'000) << 50;
    }

    void progressIsAShareOfTheBody()
    {
        QFETCH(qint64, done);
        QFETCH(qint64, total);
        QFETCH(int, percent);
        QCOMPARE(Request::progressPercent(done, total).value_or(-1), percent);
    }

    void misuseIsRefusedOrEndsEmpty()
    {
        QVERIFY_EXCEPTION_THROWN(GetQeltRequest(nullptr, QStringLiteral("t0k")), std::runtime_error);
        GetQeltRequest request(Provider::instance().networkAccessManager(), QStringLiteral("t0k"));
        QSignalSpy spy(&request, &Request::finished);
        QTest::ignoreMessage(QtWarningMsg, "[GetQeltRequest] Invalid sender");
        QVERIFY(QMetaObject::invokeMethod(&request, "responseHandler"));
        QCOMPARE(spy.count(), 1);
        const auto result = std::dynamic_pointer_cast<QeltResult>(spy.first().first().value<ResultPtr>());
        QVERIFY(result && !result->networkError.isSet() && result->errors.isEmpty() && !result->qelt);
    }

    // The two sign-in calls carry no token, whatever the provider holds.
    void loginProcessIsOpenedWithoutToken()
    {
        m_service->enqueue("POST", "/v1/user/logins", Reply::json(QJsonObject{{"uuid", "u1"}}));
        m_service->enqueue("POST", "/v1/user/logins", Reply::json(QJsonObject{{"uuid", 5}}));
        const auto open = [] {
            return zq::test::runRequest<LoginIdResult>(Provider::instance().generateLoginProcessIdRequest(),
                                                       QStringLiteral("{c1}"));
        };
        const auto result = open();
        QVERIFY(result && !result->hasError() && result->isCompleted());
        QCOMPARE(result->uuid, QString("u1"));
        const auto recorded = m_service->requests().value(0);
        QVERIFY(!recorded.headers.contains("authorization"));
        QCOMPARE(recorded.header("content-type"), QByteArray("application/json"));
        QCOMPARE(recorded.json(), (QJsonObject{{"client_id", "{c1}"}}));
        QVERIFY(open()->hasError());
    }

    void loginStatusReplies_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QJsonObject>("reply");
        QTest::addColumn<bool>("hasError");
        QTest::addColumn<bool>("completed");
        const QJsonObject failed = zq::test::errorsJson({"unknown_login_uuid", "M", "other", "N"});
        const auto signedIn = [](const QJsonValue& email, const QString& token, const QString& status) {
            return QJsonObject{{"status", status}, {"email", email}, {"token", token}};
        };
        QTest::newRow("pending") << 200 << QJsonObject{{"status", "pending"}} << false << false;
        QTest::newRow("completed") << 200 << signedIn("a@b.c", "T", "completed") << false << true;
        QTest::newRow("completed without token") << 200 << signedIn("a@b.c", "", "completed") << true << true;
        QTest::newRow("completed with numeric email") << 200 << signedIn(1, "T", "completed") << true << true;
        QTest::newRow("capital Completed") << 200 << signedIn("a@b.c", "T", "Completed") << true << false;
        // The first service error is kept for 400, 403 and 429 only.
        QTest::newRow("400") << 400 << failed << true << false;
        QTest::newRow("429") << 429 << failed << true << false;
        QTest::newRow("404") << 404 << failed << true << false;
    }

    void loginStatusReplies()
    {
        QFETCH(int, status);
        QFETCH(QJsonObject, reply);
        QFETCH(bool, hasError);
        QFETCH(bool, completed);
        m_service->on("GET", "/v1/user/logins/u1", Reply::json(reply, status));
        if (status == 404)
            zq::test::expectWarning("GetLoginProcessStatusRequest", "Net error:");
        const auto result =
            zq::test::runRequest<LoginProcessResult>(Provider::instance().getLoginProcessStatusRequest(),
                                                     QStringLiteral("u1"), QStringLiteral("{c1}"));
        QVERIFY(result);
        QCOMPARE(result->hasError(), hasError);
        QCOMPARE(result->isCompleted(), completed);
        const auto recorded = m_service->requests().value(0);
        QCOMPARE(recorded.queryItem("client_id"), QString("{c1}"));
        QVERIFY(!recorded.headers.contains("authorization"));
        if (completed && !hasError)
            QCOMPARE(result->email + result->token, QString("a@b.cT"));
        QCOMPARE(idsOf(*result),
                 (status == 400 || status == 429) ? QStringList{"unknown_login_uuid"} : QStringList());
    }

    void runHandsOverTheTypedResultAndDisposesOfTheRequest()
    {
        m_service->on("GET", "/v1/qelts/ab12", Reply::json(zq::test::qeltJson()));
        QObject context;
        std::shared_ptr<QeltResult> qelt;
        std::shared_ptr<PdfResult> mistyped;
        QPointer<GetQeltRequest> first =
            run<QeltResult>(Provider::instance().getQeltRequest(), &context,
                            [&](const std::shared_ptr<QeltResult>& r) { qelt = r; });
        first->exec(QStringLiteral("ab12"));
        QPointer<GetQeltRequest> second =
            run<PdfResult>(Provider::instance().getQeltRequest(), &context,
                           [&](const std::shared_ptr<PdfResult>& r) { mistyped = r; });
        QTest::ignoreMessage(QtWarningMsg,
                             "[ZorvaneAPI::run] Unexpected result type from ZorvaneAPI::GetQeltRequest");
        second->exec(QStringLiteral("ab12"));
        QTRY_VERIFY(!first && !second);
        QCOMPARE(qelt->qelt->id, QStringLiteral("ab12"));
        QVERIFY(mistyped && mistyped->networkError.isSet());

        // A receiver that goes first takes its request and its reply along, and nothing reaches the handler.
        m_service->on("GET", "/v1/qelts/ab12", Reply::silence());
        auto receiver = std::make_unique<QObject>();
        QPointer<GetQeltRequest> orphan =
            run<QeltResult>(Provider::instance().getQeltRequest(), receiver.get(),
                            [&](const std::shared_ptr<QeltResult>&) { QFAIL("handled"); });
        orphan->exec(QStringLiteral("ab12"));
        QPointer<QNetworkReply> reply = orphan->findChild<QNetworkReply*>();
        QVERIFY(reply);
        receiver.reset();
        QVERIFY(!orphan && !reply);
    }

    void accountGoesToTheProviderAndTheStoredPair()
    {
        Provider::instance().setAccount(QStringLiteral("ada@example.org"), QStringLiteral("T1"));
        QCOMPARE(Provider::instance().token(), QStringLiteral("T1"));
        QCOMPARE(utils::authInfo(), qMakePair(QStringLiteral("ada@example.org"), QStringLiteral("T1")));
        Provider::instance().setAccount(QString(), QString());
        QVERIFY(!Provider::instance().hasToken());
        QCOMPARE(utils::authInfo(), qMakePair(QString(), QString()));
    }
};

ZQ_TEST_MAIN(TestRequest)
#include "test_request.moc"
