#include "support/TestMain.h"

#include "model/ConversionFormats.h"
#include "model/ZorvaneConversion.h"

#include <QJsonDocument>

namespace {

QJsonObject object(const char* json)
{
    return QJsonDocument::fromJson(json).object();
}

} // namespace

class TestConversionRecords : public QObject
{
    Q_OBJECT

private slots:
    void formatTableNamesAndSuffixes_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("md") << "md"
                            << "Markdown"
                            << "md";
        QTest::newRow("zmd saves as md") << "zmd"
                                         << "Zorvane Markdown"
                                         << "md";
        QTest::newRow("docx") << "docx"
                              << "DOCX"
                              << "docx";
        QTest::newRow("tex.zip saves as zip") << "tex.zip"
                                              << "LaTeX"
                                              << "zip";
        QTest::newRow("html") << "html"
                              << "HTML"
                              << "html";
        QTest::newRow("overleaf") << "overleaf"
                                  << "Overleaf"
                                  << "overleaf";
    }

    void formatTableNamesAndSuffixes()
    {
        QFETCH(QString, key);
        QFETCH(QString, label);
        QFETCH(QString, suffix);
        QCOMPARE(conversionFormatLabel(key), label);
        QCOMPARE(conversionFormatSuffix(key), suffix);
        QCOMPARE(conversionFormatFromLabel(label), key);
        QVERIFY(SupportedConversionFormats.contains(key));
    }

    void lookupsOutsideTheTableAreEmpty()
    {
        QCOMPARE(SupportedConversionFormats.size(), 6);
        QVERIFY(conversionFormatFromLabel("markdown").isEmpty());
        QVERIFY(conversionFormatLabel("pdf").isEmpty());
        QVERIFY(conversionFormatSuffix("MD").isEmpty());
        QVERIFY(conversionFormatSuffix(QString()).isEmpty());
    }

    void outputFormatsKeepOnlySupportedStrings()
    {
        const auto formats = parseOutputFormats(object(R"({"md": "/o/1.md", "docx": 3, "pdf": "/o/x",
                                                          "html": null, "zmd": {"a": 1}})"));
        QCOMPARE(formats.size(), 1);
        QCOMPARE(formats.value("md"), QString("/o/1.md"));
    }

    void conversionWithoutStringIdIsRefused_data()
    {
        QTest::addColumn<QByteArray>("json");
        const QByteArray rest = R"("conversion_status": {"md": {"status": "completed"}},
                                   "output_formats": {"md": "/o.md"})";
        QTest::newRow("missing") << "{" + rest + "}";
        QTest::newRow("numeric") << R"({"id": 12, )" + rest + "}";
        QTest::newRow("empty") << R"({"id": "", )" + rest + "}";
    }

    void conversionWithoutStringIdIsRefused()
    {
        QFETCH(QByteArray, json);
        QVERIFY(!ZorvaneConversion::fromJson(QJsonDocument::fromJson(json).object()));
    }

    void conversionWithOnlyAnIdIsNeverCompleted()
    {
        const auto conversion = ZorvaneConversion::fromJson(object(R"({"id": "c1"})"));
        QVERIFY(conversion);
        QVERIFY(conversion->isValid());
        QVERIFY(!conversion->isCompleted());
        for (const QString& key : SupportedConversionFormats)
            QVERIFY(!conversion->isFormatCompleted(key));
    }

    void conversionStatusesAndOutputs()
    {
        const auto conversion = ZorvaneConversion::fromJson(object(R"({"id": "c1",
            "conversion_status": {"docx": {"status": "completed"}, "pdf": {"status": "completed"},
                                  "md": "completed", "html": {"status": 1}},
            "output_formats": {"docx": "/v1/conversions/c1.docx"}})"));
        QVERIFY(conversion);
        QCOMPARE(conversion->statusByFormat.keys(), QStringList{"docx"});
        QVERIFY(conversion->isCompleted());
        QVERIFY(conversion->isFormatCompleted("docx"));
        QVERIFY(!conversion->isFormatCompleted("md"));
    }

    void oneUnfinishedFormatKeepsTheConversionOpen_data()
    {
        QTest::addColumn<QByteArray>("statuses");
        QTest::addColumn<bool>("completed");
        QTest::addColumn<bool>("docxCompleted");
        QTest::newRow("md processing")
            << QByteArray(R"("md": {"status": "processing"}, "docx": {"status": "completed"})") << false
            << true;
        QTest::newRow("capitalised status")
            << QByteArray(R"("docx": {"status": "Completed"})") << false << false;
        QTest::newRow("all completed")
            << QByteArray(R"("md": {"status": "completed"}, "docx": {"status": "completed"})") << true
            << true;
    }

    void oneUnfinishedFormatKeepsTheConversionOpen()
    {
        QFETCH(QByteArray, statuses);
        QFETCH(bool, completed);
        QFETCH(bool, docxCompleted);
        const QByteArray json = R"({"id": "c", "conversion_status": {)" + statuses +
                                R"(}, "output_formats": {"docx": "/d", "md": "/m"}})";
        const auto conversion = ZorvaneConversion::fromJson(QJsonDocument::fromJson(json).object());
        QVERIFY(conversion);
        QCOMPARE(conversion->isCompleted(), completed);
        QCOMPARE(conversion->isFormatCompleted("docx"), docxCompleted);
    }

    void completedFormatNeedsAnOutputPath()
    {
        const auto conversion = ZorvaneConversion::fromJson(
            object(R"({"id": "c", "conversion_status": {"md": {"status": "completed"}},
                       "output_formats": {"docx": "/d"}})"));
        QVERIFY(conversion->isCompleted());
        QVERIFY(!conversion->isFormatCompleted("md"));
        QVERIFY(!conversion->isFormatCompleted("docx"));
    }
};

ZQ_TEST_MAIN(TestConversionRecords)
#include "test_conversion_records.moc"
