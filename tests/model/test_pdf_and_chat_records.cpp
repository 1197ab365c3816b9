#include "support/TestMain.h"

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

class TestPdfAndChatRecords : public QObject
{
    Q_OBJECT

private slots:
    void pdfWithOnlyAnIdIsValidButNotCompleted()
    {
        const auto pdf = ZorvanePDF::fromJson(object(R"({"id": "p1"})"));
        QVERIFY(pdf);
        QVERIFY(pdf->isValid());
        QVERIFY(!pdf->isCompleted());
        QVERIFY(pdf->status.isEmpty());
        QVERIFY(pdf->inputFile.isEmpty());
        QVERIFY(pdf->outputFormats.isEmpty());
    }

    void pdfWithoutStringIdIsRefused_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("missing") << QByteArray(R"({"status": "completed", "input_file": "a.pdf"})");
        QTest::newRow("empty") << QByteArray(R"({"id": "", "status": "completed"})");
        QTest::newRow("numeric") << QByteArray(R"({"id": 7, "status": "completed"})");
        QTest::newRow("null") << QByteArray(R"({"id": null})");
    }

    void pdfWithoutStringIdIsRefused()
    {
        QFETCH(QByteArray, json);
        QVERIFY(!ZorvanePDF::fromJson(object(json)));
    }

    void pdfFields()
    {
        const auto pdf = ZorvanePDF::fromJson(object(R"({"id": "p1", "status": "completed", "input_file": 3,
            "output_formats": {"md": "/o.md", "pdf": "/o.pdf", "docx": 4}, "other": true})"));
        QVERIFY(pdf);
        QVERIFY(pdf->isCompleted());
        QVERIFY(pdf->inputFile.isEmpty());
        QCOMPARE(pdf->outputFormats.keys(), QStringList{"md"});
    }

    void pdfOutputFormatsOfAnotherTypeGiveAnEmptyMap_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::newRow("array") << QByteArray(R"(["md"])");
        QTest::newRow("string") << QByteArray(R"("md")");
        QTest::newRow("null") << QByteArray("null");
    }

    void pdfOutputFormatsOfAnotherTypeGiveAnEmptyMap()
    {
        QFETCH(QByteArray, value);
        const auto pdf = ZorvanePDF::fromJson(object(R"({"id": "p", "output_formats": )" + value + "}"));
        QVERIFY(pdf);
        QVERIFY(pdf->outputFormats.isEmpty());
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

    void chatMessageQueryAsObjectIsEmpty()
    {
        const auto message = ZorvaneQeltChatMsg::fromJson(
            object(R"({"id": "m1", "query": {"type": "text", "data": "q"}, "answer": 12})"));
        QVERIFY(message);
        QVERIFY(message->query.isEmpty());
        QVERIFY(message->queryType.isEmpty());
        QVERIFY(message->queryText.isEmpty());
        QCOMPARE(message->answer, QByteArray("12"));
        QVERIFY(message->answerType.isEmpty());
    }

    void chatMessageKeepsOtherTypesWithoutText()
    {
        const auto message = ZorvaneQeltChatMsg::fromJson(
            QJsonObject{{"id", "m1"}, {"query", part("Text", "q")}, {"answer", "[1, 2]"}});
        QCOMPARE(message->queryType, QString("Text"));
        QVERIFY(message->queryText.isEmpty());
        QVERIFY(message->answerType.isEmpty());
    }

    void chatMessageWithoutStringIdIsRefused()
    {
        QVERIFY(!ZorvaneQeltChatMsg::fromJson(object(R"({"query": "{}"})")));
        QVERIFY(!ZorvaneQeltChatMsg::fromJson(object(R"({"id": 5})")));
        QVERIFY(!ZorvaneQeltChatMsg::fromJson(object(R"({"id": ""})")));
    }
};

ZQ_TEST_MAIN(TestPdfAndChatRecords)
#include "test_pdf_and_chat_records.moc"
