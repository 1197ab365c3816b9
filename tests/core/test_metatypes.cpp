#include "core/Preset.h"
#include "core/ResultFormat.h"
#include "core/UserSetting.h"
#include "core/shortcuts.h"
#include "core/userState.h"

#include "support/TestMain.h"
#include "support/streams.h"

#include <QDataStream>

namespace {

// What a stored setting holds: the variant in the stream form QSettings uses.
QByteArray storedForm(const QVariant& value)
{
    return zq::test::streamed(value);
}

QVariant loaded(const QByteArray& bytes)
{
    QDataStream::Status status;
    const QVariant value = zq::test::readStreamed<QVariant>(bytes, &status);
    return status == QDataStream::Ok ? value : QVariant();
}

} // namespace

// The value types kept in settings are known to the variant system under their stored names.
class TestMetaTypes : public QObject
{
    Q_OBJECT

private slots:
    void namesAreRegistered_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<int>("id");
        QTest::newRow("result format")
            << QByteArray("utils::ResultFormat") << qMetaTypeId<utils::ResultFormat>();
        QTest::newRow("row memory") << QByteArray("utils::ROW_MEMORY") << qMetaTypeId<utils::ROW_MEMORY>();
        QTest::newRow("shortcut") << QByteArray("utils::shortcuts::Shortcut")
                                  << qMetaTypeId<utils::shortcuts::Shortcut>();
        QTest::newRow("preset") << QByteArray("Preset") << qMetaTypeId<Preset>();
        QTest::newRow("presets") << QByteArray("utils::PRESETS") << qMetaTypeId<Preset>();
        QTest::newRow("user setting")
            << QByteArray("utils::UserSetting") << qMetaTypeId<utils::UserSetting>();
    }

    void namesAreRegistered()
    {
        QFETCH(QByteArray, name);
        QFETCH(int, id);
        QCOMPARE(QMetaType::type(name.constData()), id);
    }

    void storedValuesCarryTheirNameAndLoadBack()
    {
        const utils::shortcuts::Shortcut shortcut(Qt::ControlModifier, Qt::Key_7);
        const QByteArray bytes = storedForm(QVariant::fromValue(shortcut));
        QVERIFY(bytes.contains(QByteArray("utils::shortcuts::Shortcut", 27)));
        QCOMPARE(loaded(bytes).value<utils::shortcuts::Shortcut>(), shortcut);

        const utils::ROW_MEMORY rows{4, 5, 6};
        QCOMPARE(loaded(storedForm(QVariant::fromValue(rows))).value<utils::ROW_MEMORY>(), rows);
    }

    void userSettingStreamsNothing()
    {
        QByteArray bytes;
        QDataStream stream(&bytes, QIODevice::WriteOnly);
        stream << utils::UserSetting();
        QVERIFY(bytes.isEmpty());
        QCOMPARE(loaded(storedForm(QVariant::fromValue(utils::UserSetting()))).userType(),
                 qMetaTypeId<utils::UserSetting>());
    }
};

ZQ_TEST_MAIN(TestMetaTypes)
#include "test_metatypes.moc"
