#include "ApiTestSupport.h"

#include "api/GetPdfRequest.h"
#include "api/GetPdfsRequest.h"
#include "api/PdfResult.h"
#include "api/PdfsResult.h"
#include "api/Provider.h"
#include "api/UploadPdfRequest.h"
#include "support/TestMain.h"

#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>

using namespace ZorvaneAPI;
using zq::test::Reply;
using zq::test::ScopedFakeService;

namespace {

QJsonObject pdfJson(const QString& id, const QString& status = QStringLiteral("completed"))
{
    return QJsonObject{{"id", id}, {"status", status}, {"input_file", "report.pdf"}};
}

// The file name of the file part as a server reads the quoted string (backslash escapes undone).
QByteArray uploadedFileName(const QByteArray& body)
{
    const QByteArray key = "name=\"file\"; filename=\"";
    int at = body.indexOf(key);
    if (at < 0)
        return QByteArray();
    QByteArray name;
    for (at += key.size(); at < body.size() && body.at(at) != '"'; ++at) {
        if (body.at(at) == '\\')
            ++at;
        if (body.at(at) == '\r' || body.at(at) == '\n')
            return "<line break in header>";
        name += body.at(at);
    }
    return name;
}

} // namespace

// Uploading a PDF, looking it up by id and by file name, over loopback HTTP.
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

    std::shared_ptr<PdfResult> upload(const QString& path, QVector<int>* progress = nullptr)
    {
        UploadPdfRequest* request = Provider::instance().uploadPdfRequest();
        if (progress)
            connect(request, &UploadPdfRequest::progress, this, [progress](int p) { progress->append(p); });
        return zq::test::runRequest<PdfResult>(request, path, R"({"include_equation_tags": true})");
    }

    static std::shared_ptr<PdfsResult> list(const QString& inputFile, int limit)
    {
        return zq::test::runRequest<PdfsResult>(Provider::instance().getPdfsRequest(), inputFile, limit);
    }

private slots:
    void init() { m_service = std::make_unique<ScopedFakeService>(QStringLiteral("t0k")); }

    void cleanup() { m_service.reset(); }

    void uploadSendsFileAndOptions()
    {
        const QByteArray bytes = "%PDF-1.4\n" + QByteArray(300000, 'x') + "\n%%EOF\n";
        const QString path = writeFile("report.v2.pdf", bytes);
        m_service->on("POST", "/v1/pdfs", Reply::json(QJsonObject{{"pdf", pdfJson("p1", "processing")}}));
        QVector<int> progress;
        const auto result = upload(path, &progress);
        QVERIFY(result);
        QVERIFY(!result->hasError());
        QVERIFY(!result->isCompleted());
        QCOMPARE(result->pdf->id, QString("p1"));
        QVERIFY(!progress.isEmpty());
        QCOMPARE(progress.last(), 100);

        const auto recorded = m_service->requests().value(0);
        QCOMPARE(recorded.header("authorization"), QByteArray("Bearer t0k"));
        QCOMPARE(recorded.parts.size(), 2);
        QCOMPARE(recorded.parts.at(0).name, QByteArray("file"));
        QCOMPARE(recorded.parts.at(0).fileName, QByteArray("report.v2.pdf"));
        QCOMPARE(recorded.parts.at(0).contentType, QByteArray("application/pdf"));
        QCOMPARE(recorded.parts.at(0).data, bytes);
        QCOMPARE(recorded.parts.at(1).name, QByteArray("options_json"));
        QVERIFY(recorded.parts.at(1).contentType.isEmpty());
        QCOMPARE(recorded.parts.at(1).data, QByteArray(R"({"include_equation_tags": true})"));
    }

    void unopenableFileEndsBeforeExecReturns_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("missing") << QStringLiteral("missing.pdf");
        QTest::newRow("directory") << QString();
    }

    void unopenableFileEndsBeforeExecReturns()
    {
        QFETCH(QString, path);
        path = path.isEmpty() ? m_dir.path() : m_dir.filePath(path);
        std::unique_ptr<UploadPdfRequest> request(Provider::instance().uploadPdfRequest());
        QSignalSpy spy(request.get(), &Request::finished);
        zq::test::expectWarning("UploadPdfRequest", "Can't open file");
        request->exec(path, "{}");
        QCOMPARE(spy.count(), 1);
        const auto result = std::dynamic_pointer_cast<PdfResult>(spy.first().first().value<ResultPtr>());
        QVERIFY(result);
        QVERIFY(result->hasError());
        QCOMPARE(result->networkError.code, 0);
        QVERIFY(result->errors.isEmpty());
        // A lookup after it is the first request the service sees.
        m_service->on("GET", "/v1/pdfs", Reply::json(QJsonObject{{"pdfs", QJsonArray()}}));
        QVERIFY(list(QString(), -1));
        QCOMPARE(m_service->requestCount(), 1);
    }

    void awkwardFileNameIsFoundAgainByItsLookup_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("stored");
        QTest::newRow("quote and backslash") << R"(say "hi" \o|.pdf)"
                                             << R"(say "hi" \o|.pdf)";
        QTest::newRow("query delimiters") << "r&d=1+2#3 50%.pdf"
                                          << "r&d=1+2#3 50%.pdf";
        QTest::newRow("header injection") << "a\r\nX-Injected: 1\r\n\r\nx.pdf"
                                          << "a  X-Injected: 1    x.pdf";
        QTest::newRow("non-ASCII") << QString::fromUtf8("Übung ½.pdf") << QString::fromUtf8("Übung ½.pdf");
    }

    void awkwardFileNameIsFoundAgainByItsLookup()
    {
        QFETCH(QString, name);
        QFETCH(QString, stored);
        const QString path = writeFile(name, "%PDF-1.4\n");
        QVERIFY(!path.isEmpty());
        m_service->on("POST", "/v1/pdfs", Reply::json(QJsonObject{{"pdf", pdfJson("p1")}}));
        m_service->on("GET", "/v1/pdfs", Reply::json(QJsonObject{{"pdfs", QJsonArray{pdfJson("p1")}}}));
        QVERIFY(upload(path));
        QVERIFY(list(name, 1));

        const auto uploaded = m_service->requests().value(0);
        QCOMPARE(uploaded.parts.size(), 2);
        QCOMPARE(uploaded.parts.at(0).data, QByteArray("%PDF-1.4\n"));
        QCOMPARE(QString::fromUtf8(uploadedFileName(uploaded.body)), stored);
        const auto lookup = m_service->requests().value(1);
        QCOMPARE(lookup.queryItem("input_file"), stored);
        QCOMPARE(lookup.queryItem("limit"), QString("1"));
    }

    void listQuery_data()
    {
        QTest::addColumn<QString>("inputFile");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QString>("query");
        QTest::newRow("everything") << QString() << -1 << "deleted=0";
        QTest::newRow("lookup") << "report.pdf" << 1 << "deleted=0&input_file=report.pdf&limit=1";
        QTest::newRow("limit 0 is sent") << QString() << 0 << "deleted=0&limit=0";
    }

    void listQuery()
    {
        QFETCH(QString, inputFile);
        QFETCH(int, limit);
        QFETCH(QString, query);
        m_service->on("GET", "/v1/pdfs", Reply::json(QJsonObject{{"pdfs", QJsonArray()}}));
        const auto result = list(inputFile, limit);
        QVERIFY(result);
        QVERIFY(!result->hasError());
        QVERIFY(result->isCompleted());
        QCOMPARE(m_service->requests().value(0).query, query);
    }

    void listStopsAtBadElement()
    {
        m_service->on(
            "GET", "/v1/pdfs",
            Reply::json(QJsonObject{{"pdfs", QJsonArray{pdfJson("p1", "processing"), "p2", pdfJson("p3")}}}));
        zq::test::expectWarning("GetPdfsRequest", "Received invalid results:");
        const auto result = list(QString(), -1);
        QVERIFY(result);
        QVERIFY(!result->hasError());
        QCOMPARE(result->pdfs.size(), 1);
        QVERIFY(!result->isCompleted());
    }

    void singleRecordReplies_data()
    {
        QTest::addColumn<QJsonObject>("reply");
        QTest::addColumn<bool>("hasError");
        QTest::addColumn<bool>("completed");
        QTest::newRow("completed") << QJsonObject{{"pdf", pdfJson("p1")}} << false << true;
        QTest::newRow("processing") << QJsonObject{{"pdf", pdfJson("p1", "processing")}} << false << false;
        QTest::newRow("capitalised status")
            << QJsonObject{{"pdf", pdfJson("p1", "Completed")}} << false << false;
        QTest::newRow("empty id") << QJsonObject{{"pdf", pdfJson("")}} << true << false;
        QTest::newRow("pdf is an array") << QJsonObject{{"pdf", QJsonArray{pdfJson("p1")}}} << true << false;
    }

    void singleRecordReplies()
    {
        QFETCH(QJsonObject, reply);
        QFETCH(bool, hasError);
        QFETCH(bool, completed);
        m_service->on("GET", "/v1/pdfs/p1", Reply::json(reply));
        const auto result =
            zq::test::runRequest<PdfResult>(Provider::instance().getPdfRequest(), QStringLiteral("p1"));
        QVERIFY(result);
        QCOMPARE(result->hasError(), hasError);
        QCOMPARE(result->isCompleted(), completed);
    }

    void refusedUploadKeepsServiceErrors_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("firstId");
        QTest::addColumn<int>("errors");
        QTest::addColumn<QString>("warning");
        QTest::newRow("400 invalid file") << 400 << "invalid_pdf" << 2 << "Net error:";
        QTest::newRow("400 rate limit") << 400 << "too_many_requests_day" << 2 << "Found 429.";
        QTest::newRow("429 rate limit") << 429 << "too_many_requests_minute" << 2 << "Found 429.";
        QTest::newRow("403 rate limit") << 403 << "too_many_requests_day" << 2 << "Net error:";
        QTest::newRow("500") << 500 << "too_many_requests_day" << 0 << "Net error:";
    }

    void refusedUploadKeepsServiceErrors()
    {
        QFETCH(int, status);
        QFETCH(QString, firstId);
        QFETCH(int, errors);
        QFETCH(QString, warning);
        m_service->on("POST", "/v1/pdfs",
                      Reply::json(zq::test::errorsJson({firstId, "first", "second", "second"}), status));
        zq::test::expectWarning("UploadPdfRequest", warning);
        const auto result = upload(writeFile("a.pdf", "%PDF"));
        QVERIFY(result);
        QVERIFY(result->hasError());
        QVERIFY(result->networkError.isSet());
        QCOMPARE(result->errors.size(), errors);
    }
};

ZQ_TEST_MAIN(TestPdfRequests)
#include "test_pdf_requests.moc"
