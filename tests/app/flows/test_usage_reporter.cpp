// Usage events and feedback over real HTTP: the bodies, events sent again until the service takes them,
// feedback retried on transport errors, and the one word the user hears about it.
#include "api/ApiTestSupport.h"

#include "api/APIHandler.h"
#include "app/flows/UsageReporter.h"
#include "core/settings.h"
#include "core/userState.h"
#include "support/SilentService.h"
#include "support/TestMain.h"

#include <QSysInfo>

using zq::test::Reply;
using zq::test::ScopedFakeService;

Q_DECLARE_METATYPE(zq::test::Reply)

class TestUsageReporter : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScopedFakeService> m_service;
    std::unique_ptr<UsageReporter> m_reporter;

    QVector<QJsonObject> sent(const QString& path, const QString& name = QString()) const
    {
        QVector<QJsonObject> bodies;
        for (const auto& request : m_service->requestsTo(path))
            if (name.isEmpty() || request.json()["name"] == name)
                bodies << request.json();
        return bodies;
    }

private slots:
    void initTestCase()
    {
        APIHandler::init(ZorvaneAPI::Provider::instance().networkAccessManager());
        APIHandler::setLogFlushIntervalForTesting(3600000);
    }

    void init()
    {
        zq::test::clearSettings();
        APIHandler::overrideNetworkAvailabilityForTesting(true);
        m_service = std::make_unique<ScopedFakeService>(QStringLiteral("t0k"));
        utils::setAuthInfo(QStringLiteral("user@example.org"), QStringLiteral("t0k"));
        m_reporter = std::make_unique<UsageReporter>();
        m_reporter->setEventResendInterval(1);
        m_reporter->setFeedbackRetryInterval(1);
        m_service->on("POST", "/v1/events", Reply::json(QJsonObject{}));
        m_service->on("POST", "/v1/user/feedback", Reply::json(QJsonObject{}));
    }

    void cleanup()
    {
        m_reporter.reset();
        m_service.reset();
        APIHandler::overrideNetworkAvailabilityForTesting(std::nullopt);
    }

    void eventIsSentAgainUntilAcceptedOrRefusedForGood_data()
    {
        QTest::addColumn<QString>("hindrance");
        QTest::addColumn<QList<Reply>>("refusals");
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("saved");
        QTest::addColumn<bool>("accepted"); // else the last refusal is for good
        QTest::newRow("signed out at first, no e-mail") << "signed out" << QList<Reply>() << ""
                                                        << "" << true;
        QTest::newRow("offline at first, saved e-mail") << "offline" << QList<Reply>() << ""
                                                        << "saved@example.org" << true;
        QTest::newRow("taken and never answered at first") << "stalled" << QList<Reply>() << ""
                                                           << "" << true;
        QTest::newRow("transport errors, given e-mail")
            << "" << QList<Reply>{Reply::text(500), Reply::json(QJsonObject{}).closedAfter(1)}
            << "given@example.org"
            << "saved@example.org" << true;
        QTest::newRow("errors in the answer")
            << "" << QList<Reply>{Reply::json(zq::test::errorsJson({"busy", "Busy."})), Reply::raw("")} << ""
            << "" << true;
        QTest::newRow("timed out and rate-limited on the service")
            << "" << QList<Reply>{Reply::text(408), Reply::text(429)} << ""
            << "" << true;
        QTest::newRow("refused for good") << "" << QList<Reply>{Reply::text(503), Reply::text(400)} << ""
                                          << "" << false;
        // These refuse the sign-in, not the event: it waits for the next one.
        QTest::newRow("token refused") << "refused sign-in" << QList<Reply>{Reply::text(401)} << ""
                                       << "" << true;
        QTest::newRow("account forbidden") << "refused sign-in" << QList<Reply>{Reply::text(403)} << ""
                                           << "" << true;
    }

    void eventIsSentAgainUntilAcceptedOrRefusedForGood()
    {
        QFETCH(QString, hindrance);
        QFETCH(QList<Reply>, refusals);
        QFETCH(QString, given);
        QFETCH(QString, saved);
        QFETCH(bool, accepted);
        for (const Reply& reply : refusals)
            m_service->enqueue("POST", "/v1/events", reply);
        kKeySavedEmail.set(saved);
        if (hindrance == "signed out")
            utils::setAuthInfo(QString(), QString());
        APIHandler::overrideNetworkAvailabilityForTesting(hindrance != "offline");

        // The hindrance fails the first send (before it returns, or after its time limit); then it goes away.
        zq::test::SilentService silent;
        if (hindrance == "stalled")
            silent.stall([&] { m_reporter->SendEvent(QStringLiteral("install"), given); });
        else
            m_reporter->SendEvent(QStringLiteral("install"), given);
        QCOMPARE(m_service->requestCount(), 0);
        if (hindrance == "refused sign-in") {
            QTRY_COMPARE(m_reporter->eventsAwaitingSignIn(), 1);
            QCOMPARE(m_service->requestCount(), 1); // not sent again with the same token
        }
        utils::setAuthInfo(QStringLiteral("a@example.org"), QStringLiteral("t0k"));
        m_reporter->signedIn();
        APIHandler::overrideNetworkAvailabilityForTesting(true);
        QTRY_COMPARE(m_reporter->pendingEvents(), 0);
        QCOMPARE(sent("/v1/events", "install").size(), refusals.size() + (accepted ? 1 : 0));

        QJsonObject body{{"app_id", utils::deviceId()},
                         {"name", "install"},
                         {"platform", "linux"},
                         {"version", "03.00.0128"}};
        if (!(given + saved).isEmpty())
            body["metadata"] = QJsonObject{{"user_email", given.isEmpty() ? saved : given}};
        for (const QJsonObject& event : sent("/v1/events", "install"))
            QCOMPARE(event, body);
        // Once taken or refused for good it is not sent again: a later event arrives after it, alone.
        m_reporter->SendEvent(QStringLiteral("later"), QString());
        QTRY_COMPARE(sent("/v1/events", "later").size(), 1);
        QCOMPARE(sent("/v1/events", "install").size(), refusals.size() + (accepted ? 1 : 0));
    }

    void feedbackEndsInOneWordToTheUser_data()
    {
        QTest::addColumn<QString>("hindrance");
        QTest::addColumn<QList<Reply>>("replies");
        QTest::addColumn<int>("sends");
        QTest::addColumn<bool>("accepted");
        const Reply failed = Reply::text(503);
        QTest::newRow("accepted") << "" << QList<Reply>() << 1 << true;
        QTest::newRow("accepted on the third send") << "" << QList<Reply>{failed, failed} << 3 << true;
        QTest::newRow("four transport errors")
            << "" << QList<Reply>{failed, failed, failed, failed} << 4 << false;
        QTest::newRow("refused by the service")
            << "" << QList<Reply>{Reply::json(zq::test::errorsJson({"too_long", "Too long."}))} << 1 << false;
        QTest::newRow("offline") << "offline" << QList<Reply>() << 0 << false;
        // Every send goes to a service that takes it and never answers: each gives up after its limit.
        QTest::newRow("taken, never answered") << "stalled" << QList<Reply>() << 0 << false;
        QTest::newRow("token missing in the store") << "stored token" << QList<Reply>() << 0 << false;
        QTest::newRow("no token at all") << "provider token" << QList<Reply>() << 0 << false;
        QTest::newRow("another account before the retry")
            << "account change" << QList<Reply>{Reply::text(503).withDelay(1000)} << 1 << false;
    }

    void feedbackEndsInOneWordToTheUser()
    {
        QFETCH(QString, hindrance);
        QFETCH(QList<Reply>, replies);
        QFETCH(int, sends);
        QFETCH(bool, accepted);
        for (const Reply& reply : replies)
            m_service->enqueue("POST", "/v1/user/feedback", reply);
        APIHandler::overrideNetworkAvailabilityForTesting(hindrance != "offline");
        if (hindrance.endsWith("token"))
            utils::setAuthInfo(QString(), QString());
        if (hindrance == "provider token")
            ZorvaneAPI::Provider::instance().setToken(QString());
        QStringList words;
        connect(m_reporter.get(), &UsageReporter::trayMessage, this,
                [&](auto text) { words << "tray:" + text; });
        connect(m_reporter.get(), &UsageReporter::errorMessage, this,
                [&](auto text) { words << "error:" + text; });

        zq::test::SilentService silent;
        if (hindrance == "stalled")
            silent.beginStall();
        m_reporter->SendFeedback(QStringLiteral("Great tool.\nThanks"), QStringLiteral("me@example.org"));
        if (hindrance == "account change") {
            QTRY_COMPARE(sent("/v1/user/feedback").size(), 1);
            ZorvaneAPI::Provider::instance().setToken(QStringLiteral("other"));
        }

        QTRY_COMPARE(words.size(), 1);
        silent.endStall();
        QCOMPARE(words.first(), accepted ? "tray:Feedback has been sent" : "error:Failed to send feedback");
        const QJsonObject body{{"text", "Great tool.\nThanks"},
                               {"platform", QSysInfo::prettyProductName()},
                               {"version", "03.00.0128"}};
        QCOMPARE(sent("/v1/user/feedback"), QVector<QJsonObject>(sends, body));
    }
};

ZQ_TEST_MAIN(TestUsageReporter)
#include "test_usage_reporter.moc"
