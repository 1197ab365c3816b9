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

    // Sends one request, written as method, path and JSON body; the answer's status (0 for a broken
    // connection) and JSON object.
    QPair<int, QJsonObject> send(const FakeService& service, const QString& line)
    {
        QNetworkRequest request(QUrl(service.baseUrl() + line.section(' ', 1, 1)));
        request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
        std::unique_ptr<QNetworkReply> reply(m_manager.sendCustomRequest(
            request, line.section(' ', 0, 0).toUtf8(), line.section(' ', 2).toUtf8()));
        QSignalSpy finished(reply.get(), &QNetworkReply::finished);
        finished.wait(10000);
        const bool broken = reply->error() == QNetworkReply::RemoteHostClosedError;
        return {broken ? 0 : reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                QJsonDocument::fromJson(reply->readAll()).object()};
    }

    // A list or search answer as the product reads it: "id" for a Qelt, "id-" for a deletion, "?" for an
    // element it cannot read; a search's total first.
    static QString read(int status, const QJsonObject& answer)
    {
        if (status != 200)
            return QString::number(status);
        const bool search = answer.contains("hits");
        QStringList read =
            search ? QStringList{QString::number(answer.value("results").toInt()) + ':'} : QStringList();
        for (const QJsonValue& element : answer.value(search ? "hits" : "qelts").toArray()) {
            const QJsonObject object = element.toObject();
            const auto qelt = search ? ZorvaneQelt::fromSearchHit(object) : ZorvaneQelt::fromJson(object);
            read << (!qelt ? "?" : object.value("deleted").toBool() ? qelt->id + '-' : qelt->id);
        }
        return read.join(' ');
    }

private slots:
    void listsAndSearchesAnswerAsTheProductReads_data()
    {
        QTest::addColumn<QString>("request"); // method, path and JSON body
        QTest::addColumn<QString>("answer");
        const QString list = "GET /v1/qelts?include_deleted=true&modified_after=";
        const QString search = R"(POST /v1/search/qelts {"query":"%1","size":%2,"from":%3})";
        QTest::newRow("live ones, oldest change first") << "GET /v1/qelts"
                                                        << "c3 a1 p5";
        QTest::newRow("with deletions") << "GET /v1/qelts?include_deleted=true"
                                        << "c3 a1 b2- p5";
        QTest::newRow("after a time") << list + "2024-01-01T00:00:03Z"
                                      << "a1 b2- p5";
        QTest::newRow("same time, other zone") << list + "2024-01-01T01:00:03%2B01:00"
                                               << "a1 b2- p5";
        QTest::newRow("after the last change") << list + "2024-01-01T00:00:06Z"
                                               << "";
        QTest::newRow("unreadable time") << list + "soon"
                                         << "400";
        // Pending ones are found too: the gallery drops them itself.
        QTest::newRow("search, any case, newest first") << search.arg("x").arg(50).arg(0) << "3: p5 c3 a1";
        QTest::newRow("search, second page") << search.arg("X").arg(2).arg(2) << "3: a1";
        QTest::newRow("search, none found") << search.arg("w").arg(50).arg(0) << "0:";
        QTest::newRow("search without size") << R"(POST /v1/search/qelts {"query":"x","from":0})"
                                             << "400";
    }

    void listsAndSearchesAnswerAsTheProductReads()
    {
        QFETCH(QString, request);
        QFETCH(QString, answer);
        FakeService service;
        FakeAccount account(service);
        account.add("A1", "a"); // one change a second: created at 00:00:01
        account.add("b2", "x");
        account.add("c3", "", "$X+1$");
        account.edit("a1", "x^2", "");
        account.remove("b2");
        account.add("p5", "x").status = "pending";
        const auto [status, json] = send(service, request);
        QCOMPARE(read(status, json), answer);
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
        FakeService service;
        FakeAccount account(service);
        account.add("q1", "a");
        account.add("q2", "b");
        const AccountCall call = request.startsWith("PATCH")     ? AccountCall::Patch
                                 : request.startsWith("POST")    ? AccountCall::Create
                                 : request == "DELETE /v1/qelts" ? AccountCall::DeleteAll
                                                                 : AccountCall::Delete;
        if (fault == "close")
            account.closeNext(call, 1);
        else if (fault == "delay")
            account.delayNext(call, 1, 50);
        else if (!fault.isEmpty())
            account.failNext(call, 1, fault.toInt());
        QCOMPARE(send(service, request).first, status);

        QStringList state;
        for (const QString id : {"q1", "q2", "created1"}) {
            if (const FakeQelt* qelt = account.find(id))
                state << id + ' ' +
                             (qelt->deleted ? "deleted" : qelt->latex + '/' + QString::number(qelt->renders));
        }
        QCOMPARE(state.join(", "), after);
        // Only the next call was scripted.
        if (!fault.isEmpty())
            QCOMPARE(send(service, request).first, 200);
    }
};

ZQ_TEST_MAIN(TestFakeAccount)
#include "test_fake_account.moc"
