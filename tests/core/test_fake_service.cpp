#include "support/FakeService.h"
#include "support/TestMain.h"

#include <QHttpMultiPart>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>

#include <memory>

using zq::test::FakeService;
using zq::test::Reply;

// The fake service is what every client test stands on: it must speak HTTP as QNetworkAccessManager
// expects, and fail in exactly the ways it is told to.
class TestFakeService : public QObject
{
    Q_OBJECT

    QNetworkAccessManager m_manager;

    QNetworkReply* get(const FakeService& service, const QString& pathAndQuery)
    {
        return m_manager.get(QNetworkRequest(QUrl(service.baseUrl() + pathAndQuery)));
    }

    static QNetworkRequest jsonRequest(const FakeService& service, const QString& path)
    {
        QNetworkRequest request(QUrl(service.baseUrl() + path));
        request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
        return request;
    }

private slots:
    void listensOnLoopbackWithAFreePort()
    {
        FakeService first;
        FakeService second;
        QVERIFY(first.isListening());
        QVERIFY(second.isListening());
        QVERIFY(first.port() != second.port());
        QVERIFY(first.baseUrl().startsWith(QStringLiteral("http://127.0.0.1:")));
        QVERIFY(!first.baseUrl().endsWith('/'));
    }

    void answersRoutedRequestAndRecordsIt()
    {
        FakeService service;
        service.on("POST", "/v1/items",
                   Reply::json(QJsonObject{{"id", "abc"}}, 201).withHeader("X-Extra", "1"));
        QNetworkRequest request(QUrl(service.baseUrl() + "/v1/items?limit=5&q=a%20b"));
        request.setRawHeader("Authorization", "Bearer t0k");
        request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
        std::unique_ptr<QNetworkReply> reply(m_manager.post(request, R"({"x":1})"));
        QTRY_VERIFY(reply->isFinished());

        QCOMPARE(reply->error(), QNetworkReply::NoError);
        QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 201);
        QCOMPARE(reply->rawHeader("X-Extra"), QByteArray("1"));
        QCOMPARE(QJsonDocument::fromJson(reply->readAll()).object().value("id").toString(), QString("abc"));

        QCOMPARE(service.requestCount(), 1);
        const auto recorded = service.requests().first();
        QCOMPARE(recorded.method, QByteArray("POST"));
        QCOMPARE(recorded.path, QString("/v1/items"));
        QCOMPARE(recorded.query, QString("limit=5&q=a%20b"));
        QCOMPARE(recorded.queryItem("q"), QString("a b"));
        QCOMPARE(recorded.header("authorization"), QByteArray("Bearer t0k"));
        QCOMPARE(recorded.json().value("x").toInt(), 1);
    }

    void unroutedRequestGets404()
    {
        FakeService service;
        service.on("GET", "/known", Reply::text(200));
        std::unique_ptr<QNetworkReply> reply(m_manager.post(jsonRequest(service, "/known"), QByteArray()));
        QTRY_VERIFY(reply->isFinished());
        QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 404);
    }

    void queuedRepliesComeOnceInOrderBeforeTheStandingOne()
    {
        FakeService service;
        service.on("GET", "/r", Reply::raw("standing"));
        service.enqueue("GET", "/r", Reply::text(503, "first"));
        service.enqueue("GET", "/r", Reply::raw("second"));
        QList<QByteArray> bodies;
        for (int i = 0; i < 3; ++i) {
            std::unique_ptr<QNetworkReply> reply(get(service, "/r"));
            QTRY_VERIFY(reply->isFinished());
            bodies << reply->readAll();
        }
        QCOMPARE(bodies, (QList<QByteArray>{"first", "second", "standing"}));
    }

    void routeWithQueryMatchesBeforePlainPath()
    {
        FakeService service;
        service.on("GET", "/list", Reply::raw("plain"));
        service.on("GET", "/list?page=2", Reply::raw("page two"));
        std::unique_ptr<QNetworkReply> two(get(service, "/list?page=2"));
        std::unique_ptr<QNetworkReply> three(get(service, "/list?page=3"));
        QTRY_VERIFY(two->isFinished() && three->isFinished());
        QCOMPARE(two->readAll(), QByteArray("page two"));
        QCOMPARE(three->readAll(), QByteArray("plain"));
    }

    void handlerSeesTheRequest()
    {
        FakeService service;
        service.on("GET", "/echo",
                   [](const zq::test::RecordedRequest& r) { return Reply::raw(r.header("x-say")); });
        QNetworkRequest request(QUrl(service.baseUrl() + "/echo"));
        request.setRawHeader("X-Say", "hello");
        std::unique_ptr<QNetworkReply> reply(m_manager.get(request));
        QTRY_VERIFY(reply->isFinished());
        QCOMPARE(reply->readAll(), QByteArray("hello"));
    }

    void keepsTheConnectionAlive()
    {
        FakeService service;
        service.on("GET", "/a", Reply::raw("a"));
        for (int i = 0; i < 3; ++i) {
            std::unique_ptr<QNetworkReply> reply(get(service, "/a"));
            QTRY_VERIFY(reply->isFinished());
            QCOMPARE(reply->error(), QNetworkReply::NoError);
        }
        const auto requests = service.requests();
        QCOMPARE(requests.size(), 3);
        QCOMPARE(requests.at(1).connection, requests.at(0).connection);
        QCOMPARE(requests.at(2).connection, requests.at(0).connection);
    }

    void writesBodyInPausedPieces()
    {
        FakeService service;
        service.on("GET", "/slow", Reply().inPieces({"{\"a\":", "1", "}"}, 30));
        std::unique_ptr<QNetworkReply> reply(get(service, "/slow"));
        QSignalSpy readyRead(reply.get(), &QNetworkReply::readyRead);
        QByteArray body;
        connect(reply.get(), &QNetworkReply::readyRead, this, [&] { body += reply->readAll(); });
        QTRY_VERIFY(reply->isFinished());
        body += reply->readAll();
        QCOMPARE(body, QByteArray("{\"a\":1}"));
        QVERIFY2(readyRead.count() >= 2, "the pieces should arrive separately");
    }

    void streamsEventsPieceByPiece()
    {
        FakeService service;
        // A line split across writes, and a last line without a newline.
        service.on("POST", "/v1/stream",
                   Reply::eventStream({"data: {\"t\":\"he", "llo\"}\n\n", "data: {\"t\":\"!\"}"}, 20));
        std::unique_ptr<QNetworkReply> reply(
            m_manager.post(jsonRequest(service, "/v1/stream"), QByteArray("{}")));
        QList<QByteArray> arrivals;
        connect(reply.get(), &QNetworkReply::readyRead, this, [&] { arrivals << reply->readAll(); });
        QTRY_VERIFY(reply->isFinished());
        arrivals << reply->readAll();
        arrivals.removeAll(QByteArray());
        QCOMPARE(reply->error(), QNetworkReply::NoError);
        QCOMPARE(reply->header(QNetworkRequest::ContentTypeHeader).toString(), QString("text/event-stream"));
        QCOMPARE(arrivals.join(), QByteArray("data: {\"t\":\"hello\"}\n\ndata: {\"t\":\"!\"}"));
        QVERIFY(arrivals.size() >= 2);
    }

    void closesMidBody()
    {
        FakeService service;
        service.on("GET", "/cut", Reply::raw(QByteArray(1000, 'x')).closedAfter(100));
        std::unique_ptr<QNetworkReply> reply(get(service, "/cut"));
        QTRY_VERIFY(reply->isFinished());
        QVERIFY(reply->error() != QNetworkReply::NoError);
    }

    void silenceLeavesTheRequestOpen()
    {
        FakeService service;
        service.on("GET", "/never", Reply::silence());
        QSignalSpy received(&service, &FakeService::requestReceived);
        std::unique_ptr<QNetworkReply> reply(get(service, "/never"));
        QTRY_COMPARE(received.count(), 1);
        QCOMPARE(received.first().first().value<zq::test::RecordedRequest>().path, QString("/never"));
        // Give the answer every chance to arrive: the event loop turns until the client has nothing to read.
        QCoreApplication::processEvents();
        QVERIFY(!reply->isFinished());
        reply->abort();
        QCOMPARE(reply->error(), QNetworkReply::OperationCanceledError);
    }

    void delayedReplyStillArrives()
    {
        FakeService service;
        service.on("GET", "/late", Reply::raw("late").withDelay(50));
        std::unique_ptr<QNetworkReply> reply(get(service, "/late"));
        QTRY_VERIFY(reply->isFinished());
        QCOMPARE(reply->readAll(), QByteArray("late"));
    }

    void recordsMultipartParts()
    {
        FakeService service;
        service.on("POST", "/upload", Reply::json(QJsonObject{}));
        auto* multi = new QHttpMultiPart(QHttpMultiPart::FormDataType);
        QHttpPart file;
        file.setHeader(QNetworkRequest::ContentTypeHeader, "image/jpeg");
        file.setHeader(QNetworkRequest::ContentDispositionHeader,
                       R"(form-data; name="file"; filename="a.jpg")");
        const QByteArray bytes("\xff\xd8\r\n--not-a-boundary\r\n\x00\xff\xd9", 24);
        file.setBody(bytes);
        QHttpPart options;
        options.setHeader(QNetworkRequest::ContentDispositionHeader, R"(form-data; name="options_json")");
        options.setBody(R"({"k":true})");
        multi->append(file);
        multi->append(options);
        std::unique_ptr<QNetworkReply> reply(
            m_manager.post(QNetworkRequest(QUrl(service.baseUrl() + "/upload")), multi));
        multi->setParent(reply.get());
        QTRY_VERIFY(reply->isFinished());

        const auto recorded = service.requests().first();
        QCOMPARE(recorded.parts.size(), 2);
        const auto* filePart = recorded.part("file");
        QVERIFY(filePart);
        QCOMPARE(filePart->fileName, QByteArray("a.jpg"));
        QCOMPARE(filePart->contentType, QByteArray("image/jpeg"));
        QCOMPARE(filePart->data, bytes);
        QCOMPARE(recorded.part("options_json")->data, QByteArray(R"({"k":true})"));
        QVERIFY(recorded.part("options_json")->fileName.isEmpty());
    }

    void malformedMultipartGivesNoParts_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("contentType");
        QTest::newRow("no boundary parameter")
            << QByteArray("--b\r\n\r\nx\r\n--b--") << QByteArray("multipart/form-data");
        QTest::newRow("boundary absent")
            << QByteArray("plain") << QByteArray("multipart/form-data; boundary=b");
        QTest::newRow("unterminated part")
            << QByteArray("--b\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nxx")
            << QByteArray("multipart/form-data; boundary=b");
        QTest::newRow("not multipart") << QByteArray("--b\r\n\r\nx\r\n--b--") << QByteArray("text/plain");
    }

    void malformedMultipartGivesNoParts()
    {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, contentType);
        QVERIFY(zq::test::parseMultipart(body, contentType).isEmpty());
    }

    void closeConnectionsDropsOpenConnections()
    {
        FakeService service;
        service.on("GET", "/never", Reply::silence());
        QSignalSpy received(&service, &FakeService::requestReceived);
        std::unique_ptr<QNetworkReply> reply(get(service, "/never"));
        QTRY_COMPARE(received.count(), 1);
        service.closeConnections();
        // The client resends a request whose connection died before any answer, on a new connection.
        QTRY_COMPARE(received.count(), 2);
        const auto requests = service.requests();
        QVERIFY(requests.at(1).connection != requests.at(0).connection);
        reply->abort();
    }
};

ZQ_TEST_MAIN(TestFakeService)
#include "test_fake_service.moc"
