#include "ApiTestSupport.h"

#include "api/ConversionOutputResult.h"
#include "api/ConversionResult.h"
#include "api/CreateConversionRequest.h"
#include "api/GetConversionOutputRequest.h"
#include "api/GetConversionRequest.h"
#include "api/Provider.h"
#include "support/TestMain.h"

#include <QJsonArray>
#include <QJsonDocument>

using namespace ZorvaneAPI;
using zq::test::FakeService;
using zq::test::Reply;
using zq::test::ScopedFakeService;

Q_DECLARE_METATYPE(zq::test::Reply)

namespace {

QJsonObject conversionJson(const QString& id, const QString& mdStatus)
{
    return QJsonObject{{"id", id},
                       {"conversion_status", QJsonObject{{"md", QJsonObject{{"status", mdStatus}}},
                                                         {"docx", QJsonObject{{"status", "completed"}}}}},
                       {"output_formats", QJsonObject{{"docx", "/v1/conversions/c1.docx"}}}};
}

QByteArray errorsBody()
{
    return QJsonDocument(zq::test::errorsJson({"gone", "expired"})).toJson();
}

// A body that no two offsets share a byte pattern with, so that a shifted or dropped piece shows.
QByteArray patterned(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 state = 2463534242u;
    for (int i = 0; i < size; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        bytes[i] = char(state);
    }
    return bytes;
}

} // namespace

// Creating a conversion, polling it and downloading its output, over loopback HTTP.
class TestConversionRequests : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScopedFakeService> m_service;

    std::shared_ptr<ConversionOutputResult> download(const QString& path, QVector<int>* progress = nullptr)
    {
        GetConversionOutputRequest* request = Provider::instance().getConversionOutputRequest();
        if (progress)
            connect(request, &GetConversionOutputRequest::progress, this,
                    [progress](int p) { progress->append(p); });
        return zq::test::runRequest<ConversionOutputResult>(request, path);
    }

private slots:
    void init() { m_service = std::make_unique<ScopedFakeService>(QStringLiteral("t0k")); }

    void cleanup() { m_service.reset(); }

    void createSendsOneFormatWithoutJsonContentType()
    {
        m_service->on("POST", "/v1/conversions",
                      Reply::json(QJsonObject{{"conversion", conversionJson("c1", "processing")}}));
        const auto result = zq::test::runRequest<ConversionResult>(
            Provider::instance().createConversionRequest(), QStringLiteral("p1"),
            QStringLiteral("thesis.final"), QStringLiteral("tex.zip"));
        QVERIFY(result);
        QVERIFY(!result->hasError());
        QVERIFY(!result->isCompleted());
        QVERIFY(result->conversion->isFormatCompleted("docx"));

        const auto recorded = m_service->requests().value(0);
        QCOMPARE(recorded.header("authorization"), QByteArray("Bearer t0k"));
        // The service has always been sent this body with the network layer's default type.
        QVERIFY(!recorded.header("content-type").contains("json"));
        QCOMPARE(recorded.json(), (QJsonObject{{"pdf_uuid", "p1"},
                                               {"filename", "thesis.final"},
                                               {"formats", QJsonObject{{"tex.zip", true}}}}));
        QVERIFY(recorded.body.startsWith("{\n    \"filename\""));
    }

    void conversionReplies_data()
    {
        QTest::addColumn<QJsonObject>("reply");
        QTest::addColumn<bool>("hasError");
        QTest::addColumn<bool>("completed");
        QTest::addColumn<QString>("warning");
        QTest::newRow("running") << QJsonObject{{"conversion", conversionJson("c1", "processing")}} << false
                                 << false << QString();
        QTest::newRow("completed") << QJsonObject{{"conversion", conversionJson("c1", "completed")}} << false
                                   << true << QString();
        QTest::newRow("no id") << QJsonObject{{"conversion", conversionJson("", "completed")}} << true
                               << false << "Received invalid results:";
        QTest::newRow("array") << QJsonObject{{"conversion", QJsonArray{conversionJson("c1", "completed")}}}
                               << true << false << "Response doesn't contain conversion object:";
    }

    void conversionReplies()
    {
        QFETCH(QJsonObject, reply);
        QFETCH(bool, hasError);
        QFETCH(bool, completed);
        QFETCH(QString, warning);
        m_service->on("GET", "/v1/conversions/c1", Reply::json(reply));
        if (!warning.isEmpty())
            zq::test::expectWarning("GetConversionRequest", warning);
        const auto result = zq::test::runRequest<ConversionResult>(
            Provider::instance().getConversionRequest(), QStringLiteral("c1"));
        QVERIFY(result);
        QCOMPARE(result->hasError(), hasError);
        QCOMPARE(result->isCompleted(), completed);
    }

    void downloadTellsErrorDocumentsFromFiles_data()
    {
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<bool>("hasOutput");
        QTest::addColumn<int>("errors");
        QTest::newRow("file") << Reply::raw("# Title\n", "text/markdown") << true << 0;
        QTest::newRow("json errors") << Reply::raw(errorsBody(), "application/json") << false << 1;
        QTest::newRow("json with charset is a file")
            << Reply::raw(errorsBody(), "application/json; charset=utf-8") << true << 0;
        QTest::newRow("json without errors is a file")
            << Reply::raw(R"({"cells": []})", "application/json") << true << 0;
        QTest::newRow("broken json") << Reply::raw("{\"err", "application/json") << false << 0;
        QTest::newRow("errors in a file") << Reply::raw(errorsBody(), "text/html") << true << 0;
    }

    void downloadTellsErrorDocumentsFromFiles()
    {
        QFETCH(Reply, reply);
        QFETCH(bool, hasOutput);
        QFETCH(int, errors);
        m_service->on("GET", "/v1/out/1.json", reply);
        const auto result = download(QStringLiteral("/v1/out/1.json"));
        QVERIFY(result);
        QCOMPARE(result->hasError(), !hasOutput);
        QCOMPARE(result->errors.size(), errors);
        QCOMPARE(bool(result->output), hasOutput);
        if (hasOutput)
            QCOMPARE(result->output->data, reply.body);
        const auto recorded = m_service->requests().value(0);
        QCOMPARE(recorded.method, QByteArray("GET"));
        QCOMPARE(recorded.header("content-type"), QByteArray("application/json"));
        QCOMPARE(recorded.header("authorization"), QByteArray("Bearer t0k"));
    }

    void emptyDownloadIsAnInvalidOutput()
    {
        m_service->on("GET", "/v1/out/empty", Reply::raw(QByteArray(), "application/octet-stream"));
        zq::test::expectWarning("GetConversionOutputRequest", "Received invalid results:");
        const auto result = download(QStringLiteral("/v1/out/empty"));
        QVERIFY(result);
        QVERIFY(!result->hasError());
        QVERIFY(result->isCompleted());
        QVERIFY(!result->output->isValid());
    }

    void redirectedDownloadIsNotTheOutput_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("contentType");
        QTest::newRow("page") << QByteArray("<html>Moved</html>") << QByteArray("text/html");
        QTest::newRow("json")
            << QJsonDocument(QJsonObject{{"url", "https://elsewhere.example/out/1.docx"}}).toJson()
            << QByteArray("application/json");
    }

    void redirectedDownloadIsNotTheOutput()
    {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, contentType);
        // The token must not follow a redirect to another host, and the redirect's own page is no output.
        m_service->on("GET", "/v1/out/moved",
                      Reply::raw(body, contentType, 302)
                          .withHeader("Location", "https://elsewhere.example/out/1.docx"));
        zq::test::expectWarning("GetConversionOutputRequest", "Redirect not followed, HTTP status 302");
        const auto result = download(QStringLiteral("/v1/out/moved"));
        QVERIFY(result);
        QVERIFY(result->networkError.isSet());
        QVERIFY(!result->isCompleted());
        QCOMPARE(m_service->requestCount(), 1);
    }

    void largeOutputArrivesWhole()
    {
        const QByteArray body = patterned(50 * 1024 * 1024);
        m_service->on("GET", "/v1/out/large.zip", Reply::raw(body, "application/zip"));
        QVector<int> progress;
        const auto result = download(QStringLiteral("/v1/out/large.zip"), &progress);
        QVERIFY(result);
        QVERIFY(!result->hasError());
        QCOMPARE(result->output->data.size(), body.size());
        QVERIFY(result->output->data == body);
        QCOMPARE(progress.last(), 100);
        QVERIFY(std::is_sorted(progress.cbegin(), progress.cend()));
    }

    void outputPathMustStayOnTheApiHost_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("plain") << "/v1/out/1.md" << true;
        QTest::newRow("at sign inside the path") << "/@elsewhere/1.md" << true;
        QTest::newRow("user info") << "@{host}/steal" << false;
        QTest::newRow("port") << ":{port}/steal" << false;
        QTest::newRow("protocol-relative") << "//{host}/steal" << false;
        QTest::newRow("relative") << "v1/out/1.md" << false;
        QTest::newRow("empty") << "" << false;
    }

    // A path from the service that would lead elsewhere must not take the token with it.
    void outputPathMustStayOnTheApiHost()
    {
        QFETCH(QString, path);
        QFETCH(bool, accepted);
        FakeService elsewhere;
        elsewhere.on("GET", "/steal", Reply::raw("stolen"));
        const QString port = QString::number(elsewhere.port());
        path.replace("{host}", "127.0.0.1:" + port).replace("{port}", port);
        m_service->on("GET", "/v1/out/1.md", Reply::raw("# ok"));
        m_service->on("GET", "/@elsewhere/1.md", Reply::raw("# ok"));

        std::unique_ptr<GetConversionOutputRequest> request(
            Provider::instance().getConversionOutputRequest());
        QSignalSpy spy(request.get(), &Request::finished);
        if (!accepted)
            zq::test::expectWarning("GetConversionOutputRequest", "Refused");
        request->exec(path);
        QCOMPARE(spy.count(), 0);
        const auto result = zq::test::takeResult<ConversionOutputResult>(spy);
        QVERIFY(result);
        QCOMPARE(result->hasError(), !accepted);
        QCOMPARE(m_service->requestCount(), accepted ? 1 : 0);
        QCOMPARE(elsewhere.requestCount(), 0);
        if (accepted)
            QCOMPARE(result->output->data, QByteArray("# ok"));
        else
            QVERIFY(result->networkError.isSet());
    }
};

ZQ_TEST_MAIN(TestConversionRequests)
#include "test_conversion_requests.moc"
