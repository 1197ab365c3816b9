#include "support/TestMain.h"

#include "model/ConversionFormats.h"
#include "model/ZorvaneConversion.h"
#include "model/ZorvanePDF.h"
#include "model/ZorvaneQeltChatMsg.h"

#include <QJsonDocument>

namespace {

QJsonObject object(const QByteArray& json)
{
    return QJsonDocument::fromJson(json).object();
}

// One side of an exchange as the service sends it: a JSON text inside the JSON.
QString part(const QString& type, const QString& data)
{
    return QString::fromUtf8(
        QJsonDocument(QJsonObject{{"type", type}, {"data", data}}).toJson(QJsonDocument::Compact));
}

} // namespace

// The records of PDFs, their conversions and the chat about a Qelt, as read from the service's JSON.
class TestServiceRecords : public QObject
{
    Q_OBJECT

private slots:
    void formatTableNamesAndSuffixes()
    {
        const struct
        {
            QString key, label, suffix;
        } table[] = {
            {"md", "Markdown", "md"}, {"zmd", "Zorvane Markdown", "md"},
            {"docx", "DOCX", "docx"}, {"tex.zip", "LaTeX", "zip"},
            {"html", "HTML", "html"}, {"overleaf", "Overleaf", "overleaf"},
        };
        for (const auto& row : table) {
            QCOMPARE(conversionFormatLabel(row.key), row.label);
            QCOMPARE(conversionFormatSuffix(row.key), row.suffix);
            QCOMPARE(conversionFormatFromLabel(row.label), row.key);
            QVERIFY(SupportedConversionFormats.contains(row.key));
        }
        QVERIFY(conversionFormatFromLabel("markdown").isEmpty());
        QVERIFY(conversionFormatLabel("pdf").isEmpty());
        QVERIFY(conversionFormatSuffix("MD").isEmpty());
        QVERIFY(conversionFormatSuffix(QString()).isEmpty());
    }

    void recordsWithoutStringIdAreRefused_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("missing") << QByteArray(
            R"({"status": "completed", "query": "{}", "conversion_status": {}})");
        QTest::newRow("empty") << QByteArray(R"({"id": "", "status": "completed"})");
        QTest::newRow("numeric") << QByteArray(R"({"id": 7, "status": "completed"})");
        QTest::newRow("null") << QByteArray(R"({"id": null})");
    }

    void recordsWithoutStringIdAreRefused()
    {
        QFETCH(QByteArray, json);
        QVERIFY(!ZorvaneConversion::fromJson(object(json)));
        QVERIFY(!ZorvanePDF::fromJson(object(json)));
        QVERIFY(!ZorvaneQeltChatMsg::fromJson(object(json)));
    }

    void outputFormatsKeepOnlySupportedStrings()
    {
        const auto formats = parseOutputFormats(object(R"({"md": "/o/1.md", "docx": 3, "pdf": "/o/x",
                                                          "html": null, "zmd": {"a": 1}})"));
        QCOMPARE(formats.size(), 1);
        QCOMPARE(formats.value("md"), QString("/o/1.md"));
    }

    void conversionIsCompletedWhenEveryKnownFormatIs_data()
    {
        QTest::addColumn<QByteArray>("statuses");
        QTest::addColumn<bool>("completed");
        QTest::addColumn<QStringList>("completedFormats");
        QTest::newRow("none") << QByteArray() << false << QStringList();
        QTest::newRow("other formats and shapes are skipped")
            << QByteArray(R"("docx": {"status": "completed"}, "pdf": {"status": "processing"},
                             "md": "processing", "html": {"status": 1})")
            << true << QStringList{"docx"};
        QTest::newRow("md processing")
            << QByteArray(R"("md": {"status": "processing"}, "docx": {"status": "completed"})") << false
            << QStringList{"docx"};
        QTest::newRow("capitalised status")
            << QByteArray(R"("docx": {"status": "Completed"})") << false << QStringList();
        QTest::newRow("all completed")
            << QByteArray(R"("md": {"status": "completed"}, "docx": {"status": "completed"})") << true
            << QStringList{"docx", "md"};
        // Completed, but without a path to fetch it from.
        QTest::newRow("no output path")
            << QByteArray(R"("zmd": {"status": "completed"})") << true << QStringList();
    }

    void conversionIsCompletedWhenEveryKnownFormatIs()
    {
        QFETCH(QByteArray, statuses);
        QFETCH(bool, completed);
        QFETCH(QStringList, completedFormats);
        const auto conversion =
            ZorvaneConversion::fromJson(object(R"({"id": "c", "conversion_status": {)" + statuses +
                                               R"(}, "output_formats": {"docx": "/d", "md": "/m"}})"));
        QVERIFY(conversion);
        QVERIFY(conversion->isValid());
        QCOMPARE(conversion->isCompleted(), completed);
        for (const QString& key : SupportedConversionFormats)
            QCOMPARE(conversion->isFormatCompleted(key), completedFormats.contains(key));
    }

    void pdfFields()
    {
        QVERIFY(!ZorvanePDF::fromJson(object(R"({"id": "p1"})"))->isCompleted());
        const auto pdf = ZorvanePDF::fromJson(object(R"({"id": "p1", "status": "completed", "input_file": 3,
            "output_formats": {"md": "/o.md", "pdf": "/o.pdf", "docx": 4}, "other": true})"));
        QVERIFY(pdf);
        QVERIFY(pdf->isCompleted());
        QVERIFY(pdf->inputFile.isEmpty());
        QCOMPARE(pdf->outputFormats.keys(), QStringList{"md"});
        for (const char* value : {R"(["md"])", R"("md")", "null"}) {
            const auto other =
                ZorvanePDF::fromJson(object(R"({"id": "p", "output_formats": )" + QByteArray(value) + "}"));
            QVERIFY(other);
            QVERIFY(other->outputFormats.isEmpty());
        }
    }

    void chatMessageReadsTextParts()
    {
        const auto message =
            ZorvaneQeltChatMsg::fromJson(QJsonObject{{"id", "m1"},
                                                     {"query", part("text", "What is x?")},
                                                     {"answer", part("text", "x = 2")},
                                                     {"asked_at", "yesterday"},
                                                     {"answered_at", "2026-01-01T00:00:00Z"}});
        QVERIFY(message);
        QCOMPARE(message->queryType, QString("text"));
        QCOMPARE(message->queryText, QString("What is x?"));
        QCOMPARE(message->answerText, QString("x = 2"));
        QCOMPARE(message->asked_at, QString("yesterday"));
        QCOMPARE(message->answered_at, QString("2026-01-01T00:00:00Z"));
    }

    void chatMessageOfOtherShapesHasNoText()
    {
        const auto asObject = ZorvaneQeltChatMsg::fromJson(
            object(R"({"id": "m1", "query": {"type": "text", "data": "q"}, "answer": 12})"));
        QVERIFY(asObject);
        QVERIFY(asObject->query.isEmpty());
        QVERIFY(asObject->queryType.isEmpty());
        QVERIFY(asObject->queryText.isEmpty());
        QCOMPARE(asObject->answer, QByteArray("12"));
        QVERIFY(asObject->answerType.isEmpty());

        const auto otherType = ZorvaneQeltChatMsg::fromJson(
            QJsonObject{{"id", "m1"}, {"query", part("Text", "q")}, {"answer", "[1, 2]"}});
        QCOMPARE(otherType->queryType, QString("Text"));
        QVERIFY(otherType->queryText.isEmpty());
        QVERIFY(otherType->answerType.isEmpty());
    }
};

ZQ_TEST_MAIN(TestServiceRecords)
#include "test_service_records.moc"
