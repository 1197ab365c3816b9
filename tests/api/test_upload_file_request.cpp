// The file upload over real HTTP against the fake service.
#include "ApiTestSupport.h"

#include "api/UploadFileRequest.h"
#include "api/UploadFileResult.h"
#include "support/TestMain.h"

#include <QJsonArray>
#include <QNetworkAccessManager>
#include <QSignalSpy>

#include <memory>

using namespace ZorvaneAPI;
using zq::test::Reply;
using zq::test::ScopedFakeService;

Q_DECLARE_METATYPE(zq::test::Reply)

class TestUploadFileRequest : public QObject
{
    Q_OBJECT

private:
    ScopedFakeService service;
    QNetworkAccessManager manager;

    std::shared_ptr<UploadFileResult> upload(const QByteArray& bytes, QVector<int>* progress = nullptr)
    {
        auto* request = new UploadFileRequest(&manager, "token-u");
        if (progress)
            connect(request, &UploadFileRequest::progress, this,
                    [progress](int value) { *progress << value; });
        return zq::test::runRequest<UploadFileResult>(request, bytes);
    }

private slots:
    void init()
    {
        service.clearRoutes();
        service.clearRequests();
    }

    void uploadSendsBase64InsideJson_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("data");
        QTest::newRow("empty") << QByteArray() << "";
        QTest::newRow("binary with padding") << QByteArray("\xfb\xff\x00\x01", 4) << "+/8AAQ==";
    }

    void uploadSendsBase64InsideJson()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, data);
        service.on("POST", "/v1/export/upload",
                   Reply::json(QJsonObject{{"url", "https://files.example/x.zip"}}));

        const auto result = upload(bytes);
        QVERIFY(result);
        QVERIFY(!result->hasError());
        QVERIFY(result->isCompleted());
        QCOMPARE(result->url, QStringLiteral("https://files.example/x.zip"));

        QCOMPARE(service.requestCount(), 1);
        const auto request = service.requests().first();
        QCOMPARE(request.method, QByteArray("POST"));
        QCOMPARE(request.header("authorization"), QByteArray("Bearer token-u"));
        QCOMPARE(request.header("user-agent"), utils::appVersionString().toUtf8());
        QCOMPARE(request.header("content-type"), QByteArray("application/json"));
        QCOMPARE(request.body, QJsonDocument(QJsonObject{{"data", data}}).toJson(QJsonDocument::Indented));
    }

    void replyWithoutUsableUrlIsAnError_data()
    {
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<QString>("warning");
        QTest::newRow("empty url") << Reply::json(QJsonObject{{"url", ""}}) << "Received invalid results:";
        QTest::newRow("numeric url") << Reply::json(QJsonObject{{"url", 5}})
                                     << "Response doesn't contain uploaded file url:";
        QTest::newRow("no url") << Reply::json(QJsonObject{{"link", "x"}})
                                << "Response doesn't contain uploaded file url:";
    }

    void replyWithoutUsableUrlIsAnError()
    {
        QFETCH(Reply, reply);
        QFETCH(QString, warning);
        service.on("POST", "/v1/export/upload", reply);
        zq::test::expectWarning("UploadFileRequest", warning);
        const auto result = upload("pdf");
        QVERIFY(result);
        QVERIFY(result->hasError());
        QVERIFY(!result->isCompleted());
        QVERIFY(result->url.isEmpty());
    }

    void failedReplyCarriesTheBodysErrors_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("firstId");
        QTest::addColumn<bool>("rateLimited");
        QTest::addColumn<int>("errors");
        QTest::newRow("400 rate limit") << 400 << "too_many_requests_day" << true << 2;
        QTest::newRow("429 rate limit") << 429 << "too_many_requests_minute" << true << 2;
        QTest::newRow("400 other") << 400 << "invalid_file" << false << 2;
        QTest::newRow("403 rate limit id is no rate limit here")
            << 403 << "too_many_requests_day" << false << 2;
        QTest::newRow("500 keeps only the network error") << 500 << "too_many_requests_day" << false << 0;
    }

    void failedReplyCarriesTheBodysErrors()
    {
        QFETCH(int, status);
        QFETCH(QString, firstId);
        QFETCH(bool, rateLimited);
        QFETCH(int, errors);
        service.on("POST", "/v1/export/upload",
                   Reply::json(zq::test::errorsJson({firstId, "Come back tomorrow.", "second", "Another."}),
                               status));
        if (rateLimited) {
            QTest::ignoreMessage(QtWarningMsg, "[UploadFileRequest] Found 429.");
            QTest::ignoreMessage(QtInfoMsg, "[UploadFileRequest] \"Come back tomorrow.\"");
        } else {
            zq::test::expectWarning("UploadFileRequest", "Net error:");
        }

        const auto result = upload("zip");
        QVERIFY(result);
        QVERIFY(result->hasError());
        QVERIFY(result->networkError.isSet());
        QCOMPARE(result->errors.size(), errors);
        if (errors) {
            QCOMPARE(result->errors.at(0).id, firstId);
            QCOMPARE(result->errors.at(1).id, QStringLiteral("second"));
        }
    }

    // The share every upload and download reports; the network layer gives -1 while it knows no total.
    void progressIsAShareOfTheBody_data()
    {
        QTest::addColumn<qint64>("sent");
        QTest::addColumn<qint64>("total");
        QTest::addColumn<int>("percent");
        QTest::newRow("no total") << qint64(10) << qint64(0) << -1;
        QTest::newRow("open total, nothing yet") << qint64(0) << qint64(-1) << 0;
        QTest::newRow("open total") << qint64(4096) << qint64(-1) << -1;
        QTest::newRow("half") << qint64(512) << qint64(1024) << 50;
        QTest::newRow("truncated") << qint64(1023) << qint64(1024) << 99;
        QTest::newRow("all") << qint64(1024) << qint64(1024) << 100;
        QTest::newRow("more than the total") << qint64(300) << qint64(200) << -1;
        QTest::newRow("huge file") << qint64(3'000'000'000) << qint64(6'000'000'000) << 50;
    }

    void progressIsAShareOfTheBody()
    {
        QFETCH(qint64, sent);
        QFETCH(qint64, total);
        QFETCH(int, percent);
        const auto share = UploadFileRequest::progressPercent(sent, total);
        QCOMPARE(share.value_or(-1), percent);
    }

    void progressOfARealUploadEndsAtHundred()
    {
        service.on("POST", "/v1/export/upload", Reply::json(QJsonObject{{"url", "u"}}));
        QVector<int> progress;
        const auto result = upload(QByteArray(300'000, 'x'), &progress);
        QVERIFY(result);
        QVERIFY(!progress.isEmpty());
        QCOMPARE(progress.last(), 100);
        QVERIFY(std::is_sorted(progress.begin(), progress.end()));
    }
};

ZQ_TEST_MAIN(TestUploadFileRequest)
#include "test_upload_file_request.moc"
