#include "ApiTestSupport.h"

#include "api/ConversionOutputResult.h"
#include "api/ConversionResult.h"
#include "api/CreateConversionRequest.h"
#include "api/GetConversionOutputRequest.h"
#include "api/GetConversionRequest.h"
#include "api/GetPdfRequest.h"
#include "api/GetPdfsRequest.h"
#include "api/PdfResult.h"
#include "api/PdfsResult.h"
#include "api/UploadFileRequest.h"
#include "api/UploadFileResult.h"
#include "api/UploadPdfRequest.h"
#include "support/TestMain.h"

#include <QFile>
#include <QTemporaryDir>

using namespace ZorvaneAPI;
using zq::test::FakeService;
using zq::test::Reply;
using zq::test::ScopedFakeService;

Q_DECLARE_METATYPE(zq::test::Reply)

namespace {

QJsonObject pdfJson(const QString& id, const QString& status = QStringLiteral("completed"))
{
    return QJsonObject{{"id", id}, {"status", status}, {"input_file", "report.pdf"}};
}

QJsonObject conversionJson(const QString& id, const QString& mdStatus)
{
    return QJsonObject{{"id", id},
                       {"conversion_status", QJsonObject{{"md", QJsonObject{{"status", mdStatus}}},
                                                         {"docx", QJsonObject{{"status", "completed"}}}}},
                       {"output_formats", QJsonObject{{"docx", "/v1/conversions/c1.docx"}}}};
}

// The file name of the file part as a server reads form data: the quoted string up to the closing
// quote, with %22, %0D and %0A decoded; a raw line break would end the header.
QByteArray uploadedFileName(const QByteArray& body)
{
    const QByteArray key = "name=\"file\"; filename=\"";
    const int start = body.indexOf(key) + key.size();
    const QByteArray quoted = body.mid(start, body.indexOf('"', start) - start);
    if (quoted.contains('\r') || quoted.contains('\n'))
        return "<line break in header>";
    return QByteArray(quoted).replace("%22", "\"").replace("%0D", "\r").replace("%0A", "\n");
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

// PDFs (upload, lookup by id and by file name), their conversions and the download of the output, and
// the export file upload, over loopback HTTP.
class TestPdfRequests : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScopedFakeService> m_service;
    QTemporaryDir m_dir;

    QString writeFile(const QString& name, const QByteArray& bytes)
    {
        QFile file(m_dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return QString();
        return file.fileName();
    }

    // Runs a request that reports progress and keeps what it reported.
    template <typename ResultType, typename RequestType, typename... Args>
    std::shared_ptr<ResultType> withProgress(RequestType* request, QVector<int>* progress, Args&&... args)
    {
        connect(request, &RequestType::progress, this, [progress](int p) { progress->append(p); });
        return zq::test::runRequest<ResultType>(request, std::forward<Args>(args)...);
    }

    std::shared_ptr<PdfResult> upload(const QString& path, QVector<int>* progress = nullptr)
    {
        QVector<int> ignored;
        return withProgress<PdfResult>(Provider::instance().uploadPdfRequest(),
                                       progress ? progress : &ignored, path,
                                       R"({"include_equation_tags": true})");
    }

    static std::shared_ptr<PdfsResult> list(const QString& inputFile, int limit)
    {
        return zq::test::runRequest<PdfsResult>(Provider::instance().getPdfsRequest(), inputFile, limit);
    }

private slots:
    void init() { m_service = std::make_unique<ScopedFakeService>(QStringLiteral("t0k")); }

    void cleanup() { m_service.reset(); }

    void unopenableFileEndsBeforeExecReturns()
    {
        for (const QString& path : {m_dir.filePath("missing.pdf"), m_dir.path()}) {
            std::unique_ptr<UploadPdfRequest> request(Provider::instance().uploadPdfRequest());
            QSignalSpy spy(request.get(), &Request::finished);
            zq::test::expectWarning("UploadPdfRequest", "Can't open file");
            request->exec(path, "{}");
            QCOMPARE(spy.count(), 1);
            const auto result = spy.first().first().value<ResultPtr>();
            QVERIFY(result->hasError() && result->networkError.code == 0 && result->errors.isEmpty());
        }
        QCOMPARE(m_service->requestCount(), 0);
    }

    void uploadedFileIsFoundAgainByItsLookup_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("stored");
        QTest::newRow("plain") << "report.v2.pdf"
                               << "report.v2.pdf";
        QTest::newRow("quote and backslash") << R"(say "hi" \o|.pdf)"
                                             << R"(say "hi" \o|.pdf)";
        QTest::newRow("query delimiters") << "r&d=1+2#3 50%.pdf"
                                          << "r&d=1+2#3 50%.pdf";
        QTest::newRow("header injection") << "a\r\nX-Injected: 1\r\n\r\nx.pdf"
                                          << "a\r\nX-Injected: 1\r\n\r\nx.pdf";
        QTest::newRow("other control character") << "tab\tbell\a.pdf"
                                                 << "tab bell .pdf";
        QTest::newRow("non-ASCII") << QString::fromUtf8("Übung ½.pdf") << QString::fromUtf8("Übung ½.pdf");
    }

    void uploadedFileIsFoundAgainByItsLookup()
    {
        QFETCH(QString, name);
        QFETCH(QString, stored);
        const QByteArray bytes = "%PDF-1.4\n" + QByteArray(300000, 'x') + "\n%%EOF\n";
        m_service->on("POST", "/v1/pdfs", Reply::json(QJsonObject{{"pdf", pdfJson("p1", "processing")}}));
        m_service->on("GET", "/v1/pdfs", Reply::json(QJsonObject{{"pdfs", QJsonArray{pdfJson("p1")}}}));
        QVector<int> progress;
        const auto result = upload(writeFile(name, bytes), &progress);
        QVERIFY(result && !result->hasError() && !result->isCompleted());
        QCOMPARE(result->pdf->id, QString("p1"));
        QCOMPARE(progress.value(progress.size() - 1), 100);
        QVERIFY(list(name, 1));

        const auto uploaded = m_service->requests().value(0);
        QCOMPARE(uploaded.parts.size(), 2);
        QCOMPARE(uploaded.parts.at(0).name + uploaded.parts.at(0).contentType,
                 QByteArray("fileapplication/pdf"));
        QCOMPARE(uploaded.parts.at(0).data, bytes);
        QCOMPARE(uploaded.parts.at(1).name + uploaded.parts.at(1).contentType, QByteArray("options_json"));
        QCOMPARE(uploaded.parts.at(1).data, QByteArray(R"({"include_equation_tags": true})"));
        QCOMPARE(QString::fromUtf8(uploadedFileName(uploaded.body)), stored);
        QCOMPARE(m_service->requests().value(1).queryItem("input_file"), stored);
    }

    void listQueryAndReply_data()
    {
        QTest::addColumn<QString>("inputFile");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QString>("query");
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<int>("read"); // -1: an error
        QTest::addColumn<QString>("warning");
        const auto pdfs = [](const QJsonArray& list) { return Reply::json(QJsonObject{{"pdfs", list}}); };
        QTest::newRow("everything") << QString() << -1 << "deleted=0" << pdfs({}) << 0 << QString();
        QTest::newRow("lookup") << "report.pdf" << 1 << "deleted=0&input_file=report.pdf&limit=1"
                                << pdfs({pdfJson("p1")}) << 1 << QString();
        QTest::newRow("limit 0 is sent")
            << QString() << 0 << "deleted=0&limit=0" << pdfs({}) << 0 << QString();
        // Neither may read as "not uploaded yet", or the page uploads the same file again.
        QTest::newRow("bad element") << QString() << -1 << "deleted=0"
                                     << pdfs({pdfJson("p1"), "p2", pdfJson("p3")}) << -1
                                     << "Received invalid results:";
        QTest::newRow("not an object")
            << QString() << -1 << "deleted=0" << Reply::raw("[]", "application/json") << -1
            << "Failed to parse json:";
    }

    void listQueryAndReply()
    {
        QFETCH(QString, inputFile);
        QFETCH(int, limit);
        QFETCH(QString, query);
        QFETCH(Reply, reply);
        QFETCH(int, read);
        QFETCH(QString, warning);
        m_service->on("GET", "/v1/pdfs", reply);
        if (!warning.isEmpty())
            zq::test::expectWarning("GetPdfsRequest", warning);
        const auto result = list(inputFile, limit);
        QVERIFY(result);
        QCOMPARE(m_service->requests().value(0).query, query);
        QCOMPARE(result->hasError(), read < 0);
        QCOMPARE(result->pdfs.size(), qMax(read, 0));
    }

    void singleRecordIsReadFromItsKey()
    {
        m_service->on("GET", "/v1/pdfs/p1", Reply::json(QJsonObject{{"pdf", pdfJson("p1", "processing")}}));
        const auto pdf = zq::test::runRequest<PdfResult>(Provider::instance().getPdfRequest(), QString("p1"));
        QVERIFY(pdf && !pdf->hasError() && !pdf->isCompleted());
    }

    void conversionIsCreatedAndPolled()
    {
        m_service->on("POST", "/v1/conversions",
                      Reply::json(QJsonObject{{"conversion", conversionJson("c1", "processing")}}));
        m_service->enqueue("GET", "/v1/conversions/c1",
                           Reply::json(QJsonObject{{"conversion", conversionJson("c1", "completed")}}));
        m_service->on(
            "GET", "/v1/conversions/c1",
            Reply::json(QJsonObject{{"conversion", QJsonArray{conversionJson("c1", "completed")}}}));
        const auto created = zq::test::runRequest<ConversionResult>(
            Provider::instance().createConversionRequest(), QString("p1"), QString("thesis.final"),
            QString("tex.zip"));
        QVERIFY(created && !created->hasError() && !created->isCompleted());
        QVERIFY(created->conversion->isFormatCompleted("docx"));
        const auto recorded = m_service->requests().value(0);
        // The service has always been sent this body with the network layer's default type.
        QVERIFY(!recorded.header("content-type").contains("json"));
        QCOMPARE(recorded.json(), (QJsonObject{{"pdf_uuid", "p1"},
                                               {"filename", "thesis.final"},
                                               {"formats", QJsonObject{{"tex.zip", true}}}}));
        QVERIFY(recorded.body.startsWith("{\n    \"filename\""));

        const auto poll = [] {
            return zq::test::runRequest<ConversionResult>(Provider::instance().getConversionRequest(),
                                                          QString("c1"));
        };
        QVERIFY(poll()->isCompleted());
        zq::test::expectWarning("GetConversionRequest", "Response doesn't contain conversion object:");
        QVERIFY(poll()->hasError());
    }

    void downloadTellsErrorDocumentsFromFiles_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<bool>("hasOutput");
        QTest::addColumn<int>("errors");
        const QString out = "/v1/out/1.json";
        const Reply md = Reply::raw("# ok");
        const QByteArray errors = QJsonDocument(zq::test::errorsJson({"gone", "expired"})).toJson();
        QTest::newRow("file") << out << Reply::raw("# Title\n", "text/markdown") << true << 0;
        QTest::newRow("large file arrives whole")
            << out << Reply::raw(patterned(50 * 1024 * 1024), "application/zip") << true << 0;
        QTest::newRow("empty file is no valid output") << out << Reply::raw("") << true << 0;
        QTest::newRow("json errors") << out << Reply::raw(errors, "application/json") << false << 1;
        QTest::newRow("json with charset is an error document")
            << out << Reply::raw(errors, "application/json; charset=utf-8") << false << 1;
        QTest::newRow("json without errors is a file")
            << out << Reply::raw(R"({"cells": []})", "application/json") << true << 0;
        QTest::newRow("broken json") << out << Reply::raw("{\"err", "application/json") << false << 0;
        QTest::newRow("errors in a file") << out << Reply::raw(errors, "text/html") << true << 0;
        // The token must not follow a redirect to another host, and the redirect's own page is no output.
        QTest::newRow("redirect") << out
                                  << Reply::raw("<html>Moved</html>", "text/html", 302)
                                         .withHeader("Location", "https://x.example/1.docx")
                                  << false << 0;
        // Nor may a path from the service that leads elsewhere take it there.
        QTest::newRow("at sign inside the path") << "/@elsewhere/1.md" << md << true << 0;
        QTest::newRow("user info") << "@{host}/steal" << md << false << 0;
        QTest::newRow("port") << ":{port}/steal" << md << false << 0;
        QTest::newRow("protocol-relative") << "//{host}/steal" << md << false << 0;
        QTest::newRow("relative") << "v1/out/1.md" << md << false << 0;
    }

    void downloadTellsErrorDocumentsFromFiles()
    {
        QFETCH(QString, path);
        QFETCH(Reply, reply);
        QFETCH(bool, hasOutput);
        QFETCH(int, errors);
        FakeService elsewhere;
        const QString port = QString::number(elsewhere.port());
        path.replace("{host}", "127.0.0.1:" + port).replace("{port}", port);
        const bool refused = !path.startsWith('/') || path.startsWith("//");
        m_service->on("GET", "/*", reply);
        if (reply.status == 302)
            zq::test::expectWarning("GetConversionOutputRequest", "Redirect not followed, HTTP status 302");
        if (reply.body.isEmpty())
            zq::test::expectWarning("GetConversionOutputRequest", "Received invalid results:");
        if (refused)
            zq::test::expectWarning("GetConversionOutputRequest", "Refused");

        std::unique_ptr<GetConversionOutputRequest> request(
            Provider::instance().getConversionOutputRequest());
        QVector<int> progress;
        connect(request.get(), &GetConversionOutputRequest::progress, this, [&](int p) { progress << p; });
        QSignalSpy spy(request.get(), &Request::finished);
        request->exec(path);
        QCOMPARE(spy.count(), 0); // not even a refusal ends before exec returns
        const auto result = zq::test::takeResult<ConversionOutputResult>(spy);
        QVERIFY(result);
        QCOMPARE(result->hasError(), !hasOutput);
        QCOMPARE(result->networkError.isSet() && refused, refused);
        QCOMPARE(result->errors.size(), errors);
        QCOMPARE(result->output && result->output->data == reply.body, hasOutput);
        QCOMPARE(m_service->requestCount(), refused ? 0 : 1);
        QCOMPARE(elsewhere.requestCount(), 0);
        if (!refused)
            QCOMPARE(m_service->requests().value(0).header("content-type"), QByteArray("application/json"));
        if (hasOutput)
            QCOMPARE(result->output->isValid(), !reply.body.isEmpty());
        if (reply.body.size() > 1024 * 1024)
            QVERIFY(progress.last() == 100 && std::is_sorted(progress.cbegin(), progress.cend()));
    }

    void fileUploadSendsBase64AndNeedsAnAddress_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<QString>("warning"); // empty: the address is taken
        const Reply stored = Reply::json(QJsonObject{{"url", "https://files.example/x.zip"}});
        QTest::newRow("binary with padding") << QByteArray("\xfb\xff\x00\x01", 4) << stored << QString();
        QTest::newRow("large") << QByteArray(300'000, 'x') << stored << QString();
        QTest::newRow("empty url") << QByteArray("z") << Reply::json(QJsonObject{{"url", ""}})
                                   << "Received invalid results:";
        QTest::newRow("numeric url") << QByteArray("z") << Reply::json(QJsonObject{{"url", 5}})
                                     << "Response doesn't contain uploaded file url:";
    }

    void fileUploadSendsBase64AndNeedsAnAddress()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(Reply, reply);
        QFETCH(QString, warning);
        m_service->on("POST", "/v1/export/upload", reply);
        if (!warning.isEmpty())
            zq::test::expectWarning("UploadFileRequest", warning);
        QVector<int> progress;
        const auto result =
            withProgress<UploadFileResult>(Provider::instance().uploadFileRequest(), &progress, bytes);
        QVERIFY(result);
        QCOMPARE(result->hasError(), !warning.isEmpty());
        QCOMPARE(result->url.isEmpty(), !warning.isEmpty());
        const auto request = m_service->requests().first();
        QCOMPARE(request.header("content-type"), QByteArray("application/json"));
        QCOMPARE(request.body, QJsonDocument(QJsonObject{{"data", QString(bytes.toBase64())}}).toJson());
        if (bytes.size() > 1000)
            QCOMPARE(progress.last(), 100);
    }
};

ZQ_TEST_MAIN(TestPdfRequests)
#include "test_pdf_requests.moc"
