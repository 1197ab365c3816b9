#include "core/Preset.h"
#include "core/ResultFormat.h"
#include "core/UserSetting.h"
#include "core/shortcuts.h"
#include "core/userState.h"

#include "support/TestMain.h"
#include "support/streams.h"

// The value types kept in settings travel under their registered names, which are part of the stored form.
class TestMetaTypes : public QObject
{
    Q_OBJECT

private slots:
    void storedValuesCarryTheirNameAndLoadBack_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("result format")
            << QVariant::fromValue(utils::ResultFormat()) << QByteArray("utils::ResultFormat");
        QTest::newRow("row memory") << QVariant::fromValue(utils::ROW_MEMORY{4, 5, 6})
                                    << QByteArray("utils::ROW_MEMORY");
        QTest::newRow("shortcut") << QVariant::fromValue(
                                         utils::shortcuts::Shortcut(Qt::ControlModifier, Qt::Key_7))
                                  << QByteArray("utils::shortcuts::Shortcut");
        QTest::newRow("preset") << QVariant::fromValue(Preset()) << QByteArray("Preset");
        // Holds nothing: its record is empty.
        QTest::newRow("user setting")
            << QVariant::fromValue(utils::UserSetting()) << QByteArray("utils::UserSetting");
    }

    void storedValuesCarryTheirNameAndLoadBack()
    {
        QFETCH(QVariant, value);
        QFETCH(QByteArray, name);
        const QByteArray bytes = zq::test::streamed(value);
        QCOMPARE(bytes.mid(8, name.size() + 1), name + '\0');
        QDataStream::Status status;
        const QVariant loaded = zq::test::readStreamed<QVariant>(bytes, &status);
        QCOMPARE(status, QDataStream::Ok);
        QCOMPARE(loaded.userType(), value.userType());
        QCOMPARE(zq::test::streamed(loaded), bytes);
    }
};

ZQ_TEST_MAIN(TestMetaTypes)
#include "test_metatypes.moc"
