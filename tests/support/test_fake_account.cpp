#include "support/FakeAccount.h"
#include "support/TestMain.h"

#include "model/ZorvaneQelt.h"

#include <QJsonArray>
#include <QNetworkReply>

using namespace zq::test;

// The account is what the library's tests will stand on: its answers must read through the product's
// own Qelt readers, and its scripted failures must leave it as it was.
class TestFakeAccount : public QObject
{
    Q_OBJECT

    QNetworkAccessManager m_manager;

    // Sends one request; the answer's status (0 for a broken connection) and JSON object.
    QPair<int, QJsonObject> send(const FakeService& service, const QByteArray& method, const QString& path,
                                 const QJsonObject& body = QJsonObject())
    {
        QNetworkRequest request(QUrl(service.baseUrl() + path));
        request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
        const QByteArray data = body.isEmpty() ? QByteArray() : QJsonDocument(body).toJson();
        std::unique_ptr<QNetworkReply> reply(m_manager.sendCustomRequest(request, method, data));
        QSignalSpy finished(reply.get(), &QNetworkReply::finished);
        finished.wait(10000);
        const bool broken = reply->error() == QNetworkReply::RemoteHostClosedError;
        return {broken ? 0 : reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                QJsonDocument::fromJson(reply->readAll()).object()};
    }

    // "id" for a Qelt the product reads, "id-" for a deletion, "?" for what it cannot read.
    static QStringList read(const QJsonArray& elements, bool hits)
    {
        QStringList ids;
        for (const QJsonValue& element : elements) {
            const QJsonObject object = element.toObject();
            const auto qelt = hits ? ZorvaneQelt::fromSearchHit(object) : ZorvaneQelt::fromJson(object);
            ids << (!qelt ? "?" : object.value("deleted").toBool() ? qelt->id + '-' : qelt->id);
        }
        return ids;
    }

private slots:
    void listAnswersWhatChangedAfter_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("live ones, oldest change first") << "" << QStringList{"c3", "a1"};
        QTest::newRow("with deletions") << "include_deleted=true" << QStringList{"c3", "a1", "b2-"};
        QTest::newRow("after a time")
            << "include_deleted=true&modified_after=2024-01-01T00:00:03Z" << QStringList{"a1", "b2-"};
        QTest::newRow("same time, other zone")
            << "include_deleted=true&modified_after=2024-01-01T01:00:03%2B01:00" << QStringList{"a1", "b2-"};
        QTest::newRow("after the last change") << "modified_after=2024-01-01T00:00:05Z" << QStringList();
        QTest::newRow("unreadable time") << "modified_after=soon" << QStringList{"400"};
    }

    void listAnswersWhatChangedAfter()
    {
        QFETCH(QString, query);
        QFETCH(QStringList, listed);
        FakeService service;
        FakeAccount account(service);
        account.add("A1", "a"); // one change a second: created at 00:00:01
        account.add("b2", "b");
        account.add("c3", "c");
        account.edit("a1", "a'", "");
        account.remove("b2");
        const auto [status, json] = send(service, "GET", "/v1/qelts?" + query);
        QCOMPARE(status == 200 ? read(json.value("qelts").toArray(), false)
                               : QStringList{QString::number(status)},
                 listed);
    }

    void writesChangeTheAccountUnlessScriptedToFail_data()
    {
        QTest::addColumn<QString>("request"); // method, path and JSON body
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("after");
        const QString before = "q1 a/1, q2 b/1";
        const QString edit = R"(PATCH /v1/qelts/q1 {"latex":"z","text":"$z$"})";
        const QString create = R"(POST /v1/qelts/text {"latex":"n","text":""})";
        QTest::newRow("edit") << edit << "" << 200 << "q1 z/2, q2 b/1";
        QTest::newRow("edit failing") << edit << "503" << 503 << before;
        QTest::newRow("edit cut short") << edit << "close" << 0 << before;
        QTest::newRow("edit answered late") << edit << "delay" << 200 << "q1 z/2, q2 b/1";
        QTest::newRow("edit of none") << R"(PATCH /v1/qelts/q9 {"latex":"z","text":""})"
                                      << "" << 404 << before;
        QTest::newRow("edit without text") << R"(PATCH /v1/qelts/q1 {"latex":"z"})"
                                           << "" << 400 << before;
        QTest::newRow("delete") << "DELETE /v1/qelts/q2"
                                << "" << 200 << "q1 a/1, q2 deleted";
        QTest::newRow("delete failing") << "DELETE /v1/qelts/q2"
                                        << "401" << 401 << before;
        QTest::newRow("delete all") << "DELETE /v1/qelts"
                                    << "" << 200 << "q1 deleted, q2 deleted";
        QTest::newRow("create") << create << "" << 200 << "q1 a/1, q2 b/1, created1 n/1";
        QTest::newRow("create failing") << create << "close" << 0 << before;
    }

    void writesChangeTheAccountUnlessScriptedToFail()
    {
        QFETCH(QString, request);
        QFETCH(QString, fault);
        QFETCH(int, status);
        QFETCH(QString, after);
        const QByteArray method = request.section(' ', 0, 0).toUtf8();
        const QString path = request.section(' ', 1, 1);
        const QJsonObject body = QJsonDocument::fromJson(request.section(' ', 2).toUtf8()).object();
        FakeService service;
        FakeAccount account(service);
        account.add("q1", "a");
        account.add("q2", "b");
        const AccountCall call = method == "PATCH"      ? AccountCall::Patch
                                 : method == "POST"     ? AccountCall::Create
                                 : path.count('/') == 3 ? AccountCall::Delete
                                                        : AccountCall::DeleteAll;
        if (fault == "close")
            account.closeNext(call, 1);
        else if (fault == "delay")
            account.delayNext(call, 1, 50);
        else if (!fault.isEmpty())
            account.failNext(call, 1, fault.toInt());
        QCOMPARE(send(service, method, path, body).first, status);

        QStringList state;
        for (const QString id : {"q1", "q2", "created1"}) {
            if (const FakeQelt* qelt = account.find(id))
                state << id + ' ' +
                             (qelt->deleted ? "deleted" : qelt->latex + '/' + QString::number(qelt->renders));
        }
        QCOMPARE(state.join(", "), after);
        // Only the next call was scripted.
        if (!fault.isEmpty())
            QCOMPARE(send(service, method, path, body).first, 200);
    }

    void searchPagesThroughMatches_data()
    {
        QTest::addColumn<QJsonObject>("body");
        QTest::addColumn<int>("total");
        QTest::addColumn<QStringList>("hits");
        const auto search = [](const QString& query, int size, int from) {
            return QJsonObject{{"query", query}, {"size", size}, {"from", from}};
        };
        // Pending ones are found too: the gallery drops them itself.
        QTest::newRow("any case, newest first") << search("x", 50, 0) << 3 << QStringList{"p5", "q3", "q1"};
        QTest::newRow("second page") << search("X", 2, 2) << 3 << QStringList{"q1"};
        QTest::newRow("none found") << search("w", 50, 0) << 0 << QStringList();
        QTest::newRow("no size") << QJsonObject{{"query", "x"}, {"from", 0}} << -1 << QStringList();
    }

    void searchPagesThroughMatches()
    {
        QFETCH(QJsonObject, body);
        QFETCH(int, total);
        QFETCH(QStringList, hits);
        FakeService service;
        FakeAccount account(service);
        account.add("q1", "x^2");
        account.add("q2", "y");
        account.add("q3", "", "$X+1$");
        account.add("d4", "x");
        account.remove("d4");
        account.add("p5", "x").status = "pending";
        const auto [status, json] = send(service, "POST", "/v1/search/qelts", body);
        QCOMPARE(status, total < 0 ? 400 : 200);
        QCOMPARE(json.value("results").toInt(-1), total);
        QCOMPARE(read(json.value("hits").toArray(), true), hits);
    }
};

ZQ_TEST_MAIN(TestFakeAccount)
#include "test_fake_account.moc"
