#include "core/identity.h"
#include "core/settings.h"
#include "model/ConversionFormats.h"
#include "model/ZorvaneConversion.h"
#include "model/ZorvanePDF.h"
#include "model/ZorvaneQelt.h"
#include "model/ZorvaneQeltChatMsg.h"
#include "model/isoDate.h"
#include "model/modelMetaTypes.h"
#include "support/TestMain.h"
#include "support/streams.h"

#include <QDataStream>
#include <QJsonArray>
#include <QJsonDocument>

namespace {

QJsonObject object(const QByteArray& json)
{
    return QJsonDocument::fromJson(json).object();
}

// A Qelt object of the service with the given members added, or removed where they are null.
QJsonObject qelt(const QJsonObject& changes = {})
{
    QJsonObject o = object(R"({"id": "AB12", "created_at": "2024-03-01T10:00:00Z",
                               "modified_at": "2024-03-01T10:05:00.250Z"})");
    for (auto it = changes.begin(); it != changes.end(); ++it)
        it.value().isNull() ? o.remove(it.key()) : void(o.insert(it.key(), it.value()));
    return o;
}

ZorvaneQelt record(double confidence, const QString& text = QString())
{
    ZorvaneQelt r(QStringLiteral("a"), 2, 1);
    r.text = text;
    r.confidence = confidence;
    return r;
}

} // namespace

using zq::test::streamed;

// The records of Qelts, PDFs, conversions and chats as read from the service's JSON, and the Qelt's
// stream form.
class TestServiceRecords : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { utils::registerModelMetaTypes(); }

    void recordsWithoutStringIdAreRefused()
    {
        for (const char* json : {"{\"status\": \"completed\"}", "{\"id\": \"\"}", "{\"id\": 7}"}) {
            QVERIFY(!ZorvaneConversion::fromJson(object(json)));
            QVERIFY(!ZorvanePDF::fromJson(object(json)));
            QVERIFY(!ZorvaneQeltChatMsg::fromJson(object(json)));
            QVERIFY(!ZorvaneQelt::fromJson(object(json), QString(), 9, 9));
        }
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
        QTest::newRow("completed without an output path")
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
        QVERIFY(conversion && conversion->isValid());
        QCOMPARE(conversion->isCompleted(), completed);
        for (const QString& key : SupportedConversionFormats)
            QCOMPARE(conversion->isFormatCompleted(key), completedFormats.contains(key));
    }

    void pdfAndChatFields()
    {
        const auto pdf = ZorvanePDF::fromJson(object(R"({"id": "p", "status": "completed", "input_file": 3,
                                                  "output_formats": {"md": "/o", "pdf": "/p", "zmd": 1}})"));
        QVERIFY(pdf && pdf->isCompleted() && pdf->inputFile.isEmpty());
        QCOMPARE(pdf->outputFormats, (QMap<QString, QString>{{"md", "/o"}}));
        QVERIFY(!ZorvanePDF::fromJson(object(R"({"id": "p1", "status": "Completed"})"))->isCompleted());
        QCOMPARE(conversionFormatFromLabel("LaTeX"), QString("tex.zip"));

        // Each side of an exchange is a JSON text of its own; only a "text" part has text to show.
        const auto message =
            ZorvaneQeltChatMsg::fromJson(QJsonObject{{"id", "m"},
                                                     {"asked_at", "t"},
                                                     {"query", R"({"type":"text","data":"x?"})"},
                                                     {"answer", R"({"type":"Text","data":"2"})"}});
        QVERIFY(message && message->queryText == "x?" && message->asked_at == "t");
        QVERIFY(message->answerText.isEmpty() && message->answerType == "Text");
    }

    void qeltIsReadFromItsJson_data()
    {
        QTest::addColumn<QJsonObject>("json");
        QTest::addColumn<qint64>("timeOverride");
        QTest::addColumn<QString>("originalUrl"); // "-": no record
        const QJsonObject thumb{{"url", "T"}};
        const auto original = [&](const QJsonValue& fullsize) {
            QJsonObject images{{"thumbnail", thumb}, {"fullsize", fullsize}};
            return qelt({{"images", QJsonObject{{"original", images}}}});
        };
        QTest::newRow("thumbnail only") << original(QJsonValue::Undefined) << qint64(0) << "T";
        QTest::newRow("full size") << original(QJsonObject{{"url", "F"}}) << qint64(0) << "F";
        QTest::newRow("full size not an object") << original("F") << qint64(0) << "";
        QTest::newRow("no created_at") << qelt({{"created_at", QJsonValue::Null}}) << qint64(0) << "-";
        QTest::newRow("no modified_at") << qelt({{"modified_at", QJsonValue::Null}}) << qint64(0) << "-";
        QTest::newRow("unparsable time") << qelt({{"created_at", "yesterday"}}) << qint64(0) << "-";
        QTest::newRow("no times, overridden")
            << qelt({{"created_at", QJsonValue::Null}, {"modified_at", QJsonValue::Null}}) << qint64(99)
            << "";
    }

    void qeltIsReadFromItsJson()
    {
        QFETCH(QJsonObject, json);
        QFETCH(qint64, timeOverride);
        QFETCH(QString, originalUrl);
        json.insert("latex", 5);
        json.insert("text", "t");
        json.insert("confidence", "0.9");
        const ZorvaneQeltPtr read = ZorvaneQelt::fromJson(json, QString(), timeOverride, timeOverride);
        QCOMPARE(!read, originalUrl == "-");
        if (!read)
            return;
        QCOMPARE(read->originalImageUrl, originalUrl);
        QVERIFY(read->latex.isEmpty() && read->text == "t" && read->confidence == 0.0);
        QCOMPARE(read->id, QString("ab12"));
        if (timeOverride)
            QVERIFY(read->created_at == timeOverride && read->modified_at == timeOverride);
        QCOMPARE(ZorvaneQelt::fromJson(json, "AB12", 9, 9)->id, QString("AB12"));
        // A search hit is read from its source, not from the hit itself.
        const auto hit = ZorvaneQelt::fromSearchHit({{"_id", "x"}, {"_source", json}});
        QCOMPARE(hit && hit->id == "ab12", !timeOverride);
    }

    void timesAreSecondsSinceTheEpochInUtc_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("seconds");
        const qint64 ten = 1709287200; // 2024-03-01T10:00:00Z
        QTest::newRow("utc") << "2024-03-01T10:00:00Z" << ten;
        QTest::newRow("plus one hour") << "2024-03-01T10:00:00+01:00" << ten - 3600;
        QTest::newRow("minus half an hour") << "2024-03-01T10:00:00-00:30" << ten + 1800;
        QTest::newRow("fraction") << "2024-03-01T10:00:00.999Z" << ten;
        QTest::newRow("long fraction") << "2024-03-01T10:00:00.123456Z" << ten;
        QTest::newRow("compact offset") << "2024-03-01T10:00:00+0100" << ten - 3600;
        QTest::newRow("leap day") << "2024-02-29T00:00:00Z" << qint64(1709164800);
        QTest::newRow("no such day") << "2023-02-29T00:00:00Z" << qint64(0);
        QTest::newRow("hour 25") << "2024-03-01T25:00:00Z" << qint64(0);
        QTest::newRow("before 1971") << "1969-12-31T23:59:59Z" << qint64(-1);
        QTest::newRow("empty") << "" << qint64(0);
        QTest::newRow("offset too long") << "2024-03-01T10:00:00+01:000" << qint64(0);
        QTest::newRow("no zone is local time")
            << "2024-07-01T12:00:00" << QDateTime(QDate(2024, 7, 1), QTime(12, 0)).toSecsSinceEpoch();
    }

    void timesAreSecondsSinceTheEpochInUtc()
    {
        QFETCH(QString, text);
        QFETCH(qint64, seconds);
        QCOMPARE(utils::isoDateToSecsSinceEpoch(text), seconds);
    }

    void equalityRoundsConfidenceToTenths_data()
    {
        QTest::addColumn<ZorvaneQelt>("a");
        QTest::addColumn<ZorvaneQelt>("b");
        QTest::addColumn<bool>("equal");
        ZorvaneQelt pending = record(0.5);
        pending.status = QStringLiteral("pending");
        QTest::newRow("0.91 and 0.99") << record(0.91) << record(0.99) << true;
        QTest::newRow("0.91 and 0.89") << record(0.91) << record(0.89) << false;
        QTest::newRow("status differs") << pending << record(0.5) << true;
        QTest::newRow("huge and huger") << record(1e300) << record(1e301) << true;
        QTest::newRow("huge and negative huge") << record(1e300) << record(-1e300) << false;
        QTest::newRow("nan and nan") << record(std::nan("")) << record(std::nan("")) << true;
        QTest::newRow("text differs") << record(0.5) << record(0.5, "t") << false;
    }

    void equalityRoundsConfidenceToTenths()
    {
        QFETCH(ZorvaneQelt, a);
        QFETCH(ZorvaneQelt, b);
        QFETCH(bool, equal);
        QCOMPARE(a == b, equal);
        QCOMPARE(b == a, equal);
    }

    void webAddressJoinsUserAndId()
    {
        // A user name that looks like a placeholder stays what it is.
        kKeyUserName.set(QStringLiteral("%3x"));
        QCOMPARE(ZorvaneQelt("ab12").webUrl().toString(), utils::webAppUrl() + "/%253x/qelts/ab12");
        kKeyUserName.remove();
    }

    void streamFormRoundTripsAndFailsWhole()
    {
        ZorvaneQelt written = *ZorvaneQelt::fromJson(qelt({{"status", "completed"}, {"latex", "\\frac12"}}));
        written.confidence = 0.875;
        const auto variant = zq::test::readStreamed<QVariant>(streamed(QVariant::fromValue(written)));
        QCOMPARE(variant.value<ZorvaneQelt>(), written);
        QVERIFY(variant.value<ZorvaneQelt>().status.isEmpty());

        // Six items in a fixed order, no version and no count: id, latex, text (null here), confidence,
        // modified_at, created_at.
        ZorvaneQelt golden(QStringLiteral("ab"), 2, 1);
        golden.latex = QStringLiteral("x");
        golden.confidence = 0.5;
        QCOMPARE(streamed(golden).toHex(), QByteArray("0000000400610062000000020078ffffffff3fe0000000000000"
                                                      "00000000000000020000000000000001"));

        const QByteArray plain = streamed(ZorvaneQelt(QStringLiteral("new"), 4, 3));
        const ZorvaneQelt kept(QStringLiteral("keep"), 2, 1);
        for (int size = 0; size < plain.size(); ++size) {
            ZorvaneQelt target = kept;
            QDataStream cut(plain.left(size));
            cut >> target;
            QVERIFY(cut.status() != QDataStream::Ok);
            QCOMPARE(target, kept);
        }
    }

    void orderings()
    {
        const auto make = [](const char* id, qint64 created) {
            return std::make_shared<ZorvaneQelt>(QString::fromLatin1(id), 1, created);
        };
        // By creation time, then by id; ids compare as they are.
        QVERIFY(qeltLessByCreated()(make("z", -3), make("c", 4)));
        QVERIFY(qeltLessByCreated()(make("a", 5), make("b", 5)));
        QVERIFY(!qeltLessByCreated()(make("b", 5), make("a", 5)));
        QVERIFY(qeltLessById()(make("B", 9), make("a", 1)));
        QVERIFY(!qeltLessById()(make("a", 1), make("a", 2)));
        QVERIFY(ZorvaneQelt::containsSmiles("x <SMILES>C</smiles>") &&
                !ZorvaneQelt::containsSmiles("smiles"));
    }
};

ZQ_TEST_MAIN(TestServiceRecords)
#include "test_service_records.moc"
