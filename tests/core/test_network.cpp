#include "core/network.h"
#include "support/FakeService.h"
#include "support/TestMain.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>

#include <memory>

using zq::test::FakeService;
using zq::test::Reply;

QT_WARNING_DISABLE_DEPRECATED

class TestNetwork : public QObject
{
    Q_OBJECT

    std::unique_ptr<QNetworkReply> finishedGet(QNetworkAccessManager& manager, const QString& url)
    {
        std::unique_ptr<QNetworkReply> reply(manager.get(QNetworkRequest(QUrl(url))));
        if (!QTest::qWaitFor([&] { return reply->isFinished(); }, zq::test::kWaitMs))
            return nullptr;
        return reply;
    }

private slots:
    // This Qt build has no bearer management, so a real "network access is disabled" reply cannot be
    // made here; the replies that must not restore access can.
    void otherFailuresLeaveTheManagerAlone()
    {
        FakeService service;
        // The same words in the error text, but another error code.
        service.on("GET", "/x", Reply::text(404).withReason("Network Access Is Disabled"));
        QNetworkAccessManager manager;
        auto reply = finishedGet(manager, service.baseUrl() + "/x");
        QVERIFY(reply);
        QCOMPARE(reply->error(), QNetworkReply::ContentNotFoundError);
        QVERIFY(reply->errorString().contains("Network Access Is Disabled"));

        manager.setNetworkAccessible(QNetworkAccessManager::NotAccessible);
        utils::restoreNetworkAccess(reply.get());
        QCOMPARE(manager.networkAccessible(), QNetworkAccessManager::NotAccessible);
        utils::restoreNetworkAccess(nullptr);

        service.on("GET", "/ok", Reply::raw("fine"));
        auto fine = finishedGet(manager, service.baseUrl() + "/ok");
        QVERIFY(fine);
        utils::restoreNetworkAccess(fine.get());
        QCOMPARE(manager.networkAccessible(), QNetworkAccessManager::NotAccessible);
    }

    void jsonObjectFromBody_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        QTest::addColumn<QJsonObject>("expected");
        // An error reply's body is read too: the service explains its refusals there.
        QTest::newRow("object") << QByteArray(R"({"id":"q1","n":2})") << 400
                                << QJsonObject{{"id", "q1"}, {"n", 2}};
        QTest::newRow("empty body") << QByteArray() << 200 << QJsonObject();
        QTest::newRow("array") << QByteArray("[1,2]") << 200 << QJsonObject();
        QTest::newRow("not json") << QByteArray("<html>oops</html>") << 502 << QJsonObject();
    }

    void jsonObjectFromBody()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        QFETCH(QJsonObject, expected);
        FakeService service;
        service.on("GET", "/j", Reply::raw(body, "application/json", status));
        QNetworkAccessManager manager;
        auto reply = finishedGet(manager, service.baseUrl() + "/j");
        QVERIFY(reply);
        QCOMPARE(utils::replyToJsonObject(reply.get()), expected);
        // The body is consumed.
        QCOMPARE(utils::replyToJsonObject(reply.get()), QJsonObject());
    }
};

ZQ_TEST_MAIN(TestNetwork)
#include "test_network.moc"
