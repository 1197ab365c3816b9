// Usage events and feedback over real HTTP: the bodies, the resending of events until the service takes
// them, the retries of feedback and what the user hears of it.
#include "api/ApiTestSupport.h"

#include "api/APIHandler.h"
#include "app/flows/UsageReporter.h"
#include "core/settings.h"
#include "core/userState.h"
#include "support/TestMain.h"

#include <QSysInfo>

using zq::test::Reply;
using zq::test::ScopedFakeService;

Q_DECLARE_METATYPE(zq::test::Reply)

namespace {

const QString kEvents = QStringLiteral("/v1/events");
const QString kFeedback = QStringLiteral("/v1/user/feedback");

int eventsNamed(const QVector<zq::test::RecordedRequest>& requests, const QString& name)
{
    return int(std::count_if(requests.begin(), requests.end(),
                             [&](const auto& request) { return request.json()["name"] == name; }));
}

} // namespace

class TestUsageReporter : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScopedFakeService> m_service;
    std::unique_ptr<UsageReporter> m_reporter;

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
        m_service->on("POST", kEvents, Reply::json(QJsonObject{}));
        m_service->on("POST", kFeedback, Reply::json(QJsonObject{}));
    }

    void cleanup()
    {
        m_reporter.reset();
        m_service.reset();
        APIHandler::overrideNetworkAvailabilityForTesting(std::nullopt);
    }

    void eventBodyTakesTheSavedEmailWhenNoneIsGiven_data()
    {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("saved");
        QTest::addColumn<QString>("sent");
        QTest::newRow("neither") << ""
                                 << ""
                                 << "";
        QTest::newRow("saved only") << ""
                                    << "saved@example.org"
                                    << "saved@example.org";
        QTest::newRow("given wins") << "given@example.org"
                                    << "saved@example.org"
                                    << "given@example.org";
    }

    void eventBodyTakesTheSavedEmailWhenNoneIsGiven()
    {
        QFETCH(QString, given);
        QFETCH(QString, saved);
        QFETCH(QString, sent);
        kKeySavedEmail.set(saved);

        m_reporter->SendEvent(QStringLiteral("install"), given);
        QTRY_COMPARE(m_service->requestsTo(kEvents).size(), 1);

        QJsonObject expected{{"app_id", utils::deviceId()},
                             {"name", "install"},
                             {"platform", "linux"},
                             {"version", "03.00.0128"}};
        if (!sent.isEmpty())
            expected["metadata"] = QJsonObject{{"user_email", sent}};
        QCOMPARE(m_service->requestsTo(kEvents).first().json(), expected);
    }

    void eventIsSentAgainUntilAccepted_data()
    {
        QTest::addColumn<QString>("hindrance");
        QTest::addColumn<QList<Reply>>("refusals");
        QTest::newRow("signed out at first") << "signed out" << QList<Reply>();
        QTest::newRow("offline at first") << "offline" << QList<Reply>();
        QTest::newRow("transport errors")
            << "" << QList<Reply>{Reply::text(500), Reply::json(zq::test::qeltJson()).closedAfter(3)};
        QTest::newRow("errors in the answer")
            << "" << QList<Reply>{Reply::json(zq::test::errorsJson({"busy", "Busy."})), Reply::raw("")};
    }

    void eventIsSentAgainUntilAccepted()
    {
        QFETCH(QString, hindrance);
        QFETCH(QList<Reply>, refusals);
        for (const Reply& reply : refusals)
            m_service->enqueue("POST", kEvents, reply);
        if (hindrance == "signed out")
            utils::setAuthInfo(QString(), QString());
        if (hindrance == "offline")
            APIHandler::overrideNetworkAvailabilityForTesting(false);

        // The hindrance fails the first send before it returns.
        m_reporter->SendEvent(QStringLiteral("initial_login"), QStringLiteral("a@example.org"));
        QCOMPARE(m_service->requestCount(), 0);
        utils::setAuthInfo(QStringLiteral("a@example.org"), QStringLiteral("t0k"));
        APIHandler::overrideNetworkAvailabilityForTesting(true);

        QTRY_COMPARE(eventsNamed(m_service->requestsTo(kEvents), "initial_login"), refusals.size() + 1);
        // Once taken it is not sent again: a later event arrives after it and alone.
        m_reporter->SendEvent(QStringLiteral("later"), QString());
        QTRY_COMPARE(eventsNamed(m_service->requestsTo(kEvents), "later"), 1);
        QCOMPARE(eventsNamed(m_service->requestsTo(kEvents), "initial_login"), refusals.size() + 1);
    }

    void feedbackOutcomeReachesTheUser_data()
    {
        QTest::addColumn<QString>("hindrance");
        QTest::addColumn<QList<Reply>>("replies");
        QTest::addColumn<int>("sends");
        QTest::addColumn<bool>("accepted");
        const Reply failed = Reply::text(503);
        const Reply serviceError = Reply::json(zq::test::errorsJson({"too_long", "Too long."}));
        QTest::newRow("accepted") << "" << QList<Reply>() << 1 << true;
        QTest::newRow("accepted on the third send") << "" << QList<Reply>{failed, failed} << 3 << true;
        QTest::newRow("four transport errors")
            << "" << QList<Reply>{failed, failed, failed, failed} << 4 << false;
        QTest::newRow("refused by the service") << "" << QList<Reply>{serviceError} << 1 << false;
        QTest::newRow("offline") << "offline" << QList<Reply>() << 0 << false;
        QTest::newRow("token missing in the store") << "stored token" << QList<Reply>() << 0 << false;
        QTest::newRow("no token at all") << "provider token" << QList<Reply>() << 0 << false;
    }

    void feedbackOutcomeReachesTheUser()
    {
        QFETCH(QString, hindrance);
        QFETCH(QList<Reply>, replies);
        QFETCH(int, sends);
        QFETCH(bool, accepted);
        for (const Reply& reply : replies)
            m_service->enqueue("POST", kFeedback, reply);
        if (hindrance == "offline")
            APIHandler::overrideNetworkAvailabilityForTesting(false);
        if (hindrance == "stored token" || hindrance == "provider token")
            utils::setAuthInfo(QString(), QString());
        if (hindrance == "provider token")
            ZorvaneAPI::Provider::instance().setToken(QString());
        QSignalSpy balloons(m_reporter.get(), &UsageReporter::trayMessage);
        QSignalSpy errors(m_reporter.get(), &UsageReporter::errorMessage);

        m_reporter->SendFeedback(QStringLiteral("Great tool.\nThanks"), QStringLiteral("me@example.org"));

        // One word for the user, once every send is over.
        QTRY_COMPARE(balloons.count() + errors.count(), 1);
        QCOMPARE(m_service->requestsTo(kFeedback).size(), sends);
        if (accepted)
            QCOMPARE(balloons.first().first().toString(), QStringLiteral("Feedback has been sent"));
        else
            QCOMPARE(errors.first().first().toString(), QStringLiteral("Failed to send feedback"));
        for (const auto& request : m_service->requestsTo(kFeedback))
            QCOMPARE(request.json(), (QJsonObject{{"text", "Great tool.\nThanks"},
                                                  {"platform", QSysInfo::prettyProductName()},
                                                  {"version", "03.00.0128"}}));
    }
};

ZQ_TEST_MAIN(TestUsageReporter)
#include "test_usage_reporter.moc"
