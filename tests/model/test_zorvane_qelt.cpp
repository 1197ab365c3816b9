#include "core/identity.h"
#include "core/settings.h"
#include "model/ZorvaneQelt.h"
#include "model/isoDate.h"
#include "model/modelMetaTypes.h"
#include "support/TestMain.h"

#include <QDataStream>
#include <QJsonArray>
#include <QJsonObject>

#include <map>

// The Qelt record: what the service's JSON turns into, how records compare and order, and their
// stream form.
class TestZorvaneQelt : public QObject
{
    Q_OBJECT

    static QJsonObject base()
    {
        return QJsonObject{{"id", "AB12"},
                           {"created_at", "2024-03-01T10:00:00Z"},
                           {"modified_at", "2024-03-01T10:05:00.250Z"}};
    }

    static QJsonObject with(QJsonObject object, const QString& key, const QJsonValue& value)
    {
        if (value.isUndefined())
            object.remove(key);
        else
            object[key] = value;
        return object;
    }

    template <typename T> static QByteArray streamed(const T& value)
    {
        QByteArray bytes;
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out << value;
        return bytes;
    }

    static ZorvaneQelt record(double confidence, const QString& status = QString())
    {
        ZorvaneQelt qelt(QStringLiteral("a"), 2, 1);
        qelt.latex = QStringLiteral("x");
        qelt.confidence = confidence;
        qelt.status = status;
        return qelt;
    }

private slots:
    void initTestCase() { utils::registerModelMetaTypes(); }

    void idIsLowerCasedUnlessOverridden()
    {
        QCOMPARE(ZorvaneQelt::fromJson(base())->id, QStringLiteral("ab12"));
        QCOMPARE(ZorvaneQelt::fromJson(base(), QStringLiteral("AB12"))->id, QStringLiteral("AB12"));
        QVERIFY(!ZorvaneQelt::fromJson(with(base(), "id", 12)));
        QVERIFY(!ZorvaneQelt::fromJson(with(base(), "id", "")));
    }

    void timesAreNeededUnlessOverridden_data()
    {
        QTest::addColumn<QJsonObject>("object");
        QTest::addColumn<qint64>("modifiedOverride");
        QTest::addColumn<qint64>("createdOverride");
        QTest::addColumn<bool>("valid");

        QTest::newRow("both") << base() << qint64(0) << qint64(0) << true;
        QTest::newRow("no created_at")
            << with(base(), "created_at", QJsonValue::Undefined) << qint64(0) << qint64(0) << false;
        QTest::newRow("no created_at, override")
            << with(base(), "created_at", QJsonValue::Undefined) << qint64(0) << qint64(99) << true;
        QTest::newRow("no modified_at")
            << with(base(), "modified_at", QJsonValue::Undefined) << qint64(0) << qint64(0) << false;
        QTest::newRow("no modified_at, override")
            << with(base(), "modified_at", QJsonValue::Undefined) << qint64(99) << qint64(0) << true;
        QTest::newRow("unparsable") << with(base(), "created_at", "yesterday") << qint64(0) << qint64(0)
                                    << false;
        QTest::newRow("number") << with(base(), "created_at", 1700000000) << qint64(0) << qint64(0) << false;
    }

    void timesAreNeededUnlessOverridden()
    {
        QFETCH(QJsonObject, object);
        QFETCH(qint64, modifiedOverride);
        QFETCH(qint64, createdOverride);
        QFETCH(bool, valid);
        const ZorvaneQeltPtr qelt =
            ZorvaneQelt::fromJson(object, QString(), modifiedOverride, createdOverride);
        QCOMPARE(bool(qelt), valid);
        if (qelt) {
            QVERIFY(qelt->isValid());
            if (createdOverride)
                QCOMPARE(qelt->created_at, createdOverride);
            if (modifiedOverride)
                QCOMPARE(qelt->modified_at, modifiedOverride);
        }
    }

    void timesAreSecondsSinceTheEpochInUtc_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("seconds");

        const qint64 tenOClock = 1709287200; // 2024-03-01T10:00:00Z
        QTest::newRow("utc") << "2024-03-01T10:00:00Z" << tenOClock;
        QTest::newRow("plus one hour") << "2024-03-01T10:00:00+01:00" << tenOClock - 3600;
        QTest::newRow("minus half an hour") << "2024-03-01T10:00:00-00:30" << tenOClock + 1800;
        QTest::newRow("fraction") << "2024-03-01T10:00:00.999Z" << tenOClock;
        QTest::newRow("long fraction") << "2024-03-01T10:00:00.123456Z" << tenOClock;
        QTest::newRow("compact offset") << "2024-03-01T10:00:00+0100" << tenOClock - 3600;
        QTest::newRow("leap day") << "2024-02-29T00:00:00Z" << qint64(1709164800);
        QTest::newRow("no such day") << "2023-02-29T00:00:00Z" << qint64(0);
        QTest::newRow("hour 25") << "2024-03-01T25:00:00Z" << qint64(0);
        QTest::newRow("before 1971") << "1969-12-31T23:59:59Z" << qint64(-1);
        QTest::newRow("empty") << "" << qint64(0);
        QTest::newRow("no zone is local time")
            << "2024-07-01T12:00:00" << QDateTime(QDate(2024, 7, 1), QTime(12, 0)).toSecsSinceEpoch();
    }

    void timesAreSecondsSinceTheEpochInUtc()
    {
        QFETCH(QString, text);
        QFETCH(qint64, seconds);
        QCOMPARE(utils::isoDateToSecsSinceEpoch(text), seconds);
        // Whatever shortcut reads the common forms must agree with Qt's reading.
        const QDateTime reference = QDateTime::fromString(text, Qt::ISODate);
        QCOMPARE(utils::isoDateToSecsSinceEpoch(text),
                 reference.isValid() ? reference.toUTC().toSecsSinceEpoch() : 0);
    }

    void fieldsOfTheWrongTypeReadAsEmpty()
    {
        QJsonObject object = base();
        object["latex"] = 5;
        object["text"] = "t";
        object["status"] = QJsonArray();
        object["confidence"] = "0.9";
        const ZorvaneQeltPtr qelt = ZorvaneQelt::fromJson(object);
        QVERIFY(qelt);
        QCOMPARE(qelt->latex, QString());
        QCOMPARE(qelt->text, QStringLiteral("t"));
        QCOMPARE(qelt->status, QString());
        QCOMPARE(qelt->confidence, 0.0);
    }

    void imageAddressesPreferFullSize_data()
    {
        QTest::addColumn<QJsonValue>("original");
        QTest::addColumn<QString>("url");

        const QJsonObject thumb{{"url", "T"}};
        QTest::newRow("thumbnail only") << QJsonValue(QJsonObject{{"thumbnail", thumb}}) << "T";
        QTest::newRow("null full size")
            << QJsonValue(QJsonObject{{"thumbnail", thumb}, {"fullsize", QJsonValue::Null}}) << "T";
        QTest::newRow("full size") << QJsonValue(QJsonObject{{"thumbnail", thumb},
                                                             {"fullsize", QJsonObject{{"url", "F"}}}})
                                   << "F";
        QTest::newRow("full size not an object")
            << QJsonValue(QJsonObject{{"thumbnail", thumb}, {"fullsize", "F"}}) << "";
        QTest::newRow("url not a string")
            << QJsonValue(QJsonObject{{"thumbnail", QJsonObject{{"url", 1}}}}) << "";
        QTest::newRow("missing") << QJsonValue(QJsonValue::Undefined) << "";
    }

    void imageAddressesPreferFullSize()
    {
        QFETCH(QJsonValue, original);
        QFETCH(QString, url);
        QJsonObject images{{"rendered", QJsonObject{{"thumbnail", QJsonObject{{"url", "R"}}}}}};
        if (!original.isUndefined())
            images["original"] = original;
        const ZorvaneQeltPtr qelt = ZorvaneQelt::fromJson(with(base(), "images", images));
        QCOMPARE(qelt->originalImageUrl, url);
        QCOMPARE(qelt->renderedImageUrl, QStringLiteral("R"));
    }

    void searchHitIsReadFromItsSource()
    {
        const QJsonObject hit{
            {"_id", "other"}, {"status", "completed"}, {"_source", with(base(), "status", "pending")}};
        const ZorvaneQeltPtr qelt = ZorvaneQelt::fromSearchHit(hit);
        QVERIFY(qelt);
        QCOMPARE(qelt->id, QStringLiteral("ab12"));
        QCOMPARE(qelt->status, QStringLiteral("pending"));
        QVERIFY(!ZorvaneQelt::fromSearchHit(QJsonObject{{"_source", "x"}}));
    }

    void equalityRoundsConfidenceToTenths_data()
    {
        QTest::addColumn<ZorvaneQelt>("a");
        QTest::addColumn<ZorvaneQelt>("b");
        QTest::addColumn<bool>("equal");

        QTest::newRow("0.91 and 0.99") << record(0.91) << record(0.99) << true;
        QTest::newRow("0.91 and 0.89") << record(0.91) << record(0.89) << false;
        QTest::newRow("status differs") << record(0.5, "pending") << record(0.5, "completed") << true;
        QTest::newRow("huge and huger") << record(1e300) << record(1e301) << true;
        QTest::newRow("huge and negative huge") << record(1e300) << record(-1e300) << false;
        QTest::newRow("nan and nan") << record(std::nan("")) << record(std::nan("")) << true;
        ZorvaneQelt otherImage = record(0.5);
        otherImage.renderedImageUrl = QStringLiteral("r2");
        QTest::newRow("rendered image differs") << record(0.5) << otherImage << false;
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
        ZorvaneQelt qelt(QStringLiteral("ab12"));
        kKeyUserName.set(QString());
        QCOMPARE(qelt.webUrl(), QUrl(utils::webAppUrl() + QStringLiteral("//qelts/ab12")));
        // A user name that looks like a placeholder stays what it is.
        kKeyUserName.set(QStringLiteral("%3x"));
        QCOMPARE(qelt.webUrl().toString(), utils::webAppUrl() + QStringLiteral("/%253x/qelts/ab12"));
        kKeyUserName.remove();
    }

    void streamFormKeepsSixFields()
    {
        ZorvaneQelt qelt = *ZorvaneQelt::fromJson(
            with(with(base(), "status", "completed"), "images",
                 QJsonObject{{"rendered", QJsonObject{{"thumbnail", QJsonObject{{"url", "R"}}}}}}));
        qelt.latex = QStringLiteral("\\frac{1}{2}");
        qelt.confidence = 0.875;
        const QByteArray bytes = streamed(qelt);

        ZorvaneQelt read;
        QDataStream in(bytes);
        in >> read;
        QCOMPARE(in.status(), QDataStream::Ok);
        QCOMPARE(read.id, qelt.id);
        QCOMPARE(read.latex, qelt.latex);
        QCOMPARE(read.confidence, qelt.confidence);
        QCOMPARE(read.created_at, qelt.created_at);
        QCOMPARE(read.modified_at, qelt.modified_at);
        QVERIFY(read.status.isEmpty());
        QVERIFY(read.renderedImageUrl.isEmpty());

        // Through the meta type too, as settings and queued signals store it.
        QVariant variant;
        QDataStream variantIn(streamed(QVariant::fromValue(qelt)));
        variantIn >> variant;
        QCOMPARE(variant.value<ZorvaneQelt>().id, qelt.id);
    }

    void truncatedStreamLeavesRecordUntouched()
    {
        ZorvaneQelt qelt(QStringLiteral("keep"), 2, 1);
        qelt.text = QStringLiteral("kept");
        const QByteArray bytes = streamed(ZorvaneQelt(QStringLiteral("new"), 4, 3));
        for (int size = 0; size < bytes.size(); ++size) {
            ZorvaneQelt target = qelt;
            QDataStream in(bytes.left(size));
            in >> target;
            QVERIFY(in.status() != QDataStream::Ok);
            QCOMPARE(target, qelt);
        }
    }

    void orderings()
    {
        const auto make = [](const char* id, qint64 created) {
            return std::make_shared<ZorvaneQelt>(QString::fromLatin1(id), 1, created);
        };
        std::map<ZorvaneQeltPtr, int, qeltLessByCreated> byCreated{
            {make("b", 5), 0}, {make("a", 5), 1}, {make("z", -3), 2}, {make("c", 4), 3}};
        QStringList order;
        for (const auto& entry : byCreated)
            order << entry.first->id;
        QCOMPARE(order, QStringList({"z", "c", "a", "b"}));

        QVERIFY(qeltLessById()(make("B", 9), make("a", 1)));
        QVERIFY(!qeltLessById()(make("a", 1), make("a", 2)));
    }
};

ZQ_TEST_MAIN(TestZorvaneQelt)
#include "test_zorvane_qelt.moc"
