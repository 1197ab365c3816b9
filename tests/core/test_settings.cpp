#include "SettingsProbe.h"

#include "core/settings.h"

#include "support/TestMain.h"

#include <QSettings>
#include <QStandardPaths>

#include <stdexcept>

// Typed settings keys over the real settings file, and the start-up migration.
class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void init() { zq::test::clearSettings(); }

    void unstoredKeysReadTheirDefaults()
    {
        QVERIFY(!kKeyShowStartBalloon.contains());
        QCOMPARE(kKeyShowStartBalloon.get(), true);
        QVERIFY(kKeyLastWinSize.get().isNull());
        QCOMPARE(kKeySavedPreset.get().value<Preset>(), Preset());
        // The first start stores the settings version, which the next one reads.
        QCOMPARE(zq::test::readInFreshProcess(
                     {QStringLiteral("migrate"), QStringLiteral("int:SettingsVersion:0")}),
                 QStringList({QStringLiteral("1"), QStringLiteral("contains=1 value=1")}));
    }

    void valuesSurviveARestart()
    {
        kKeyTutorialWasShown.set(true);
        kKeyCountTakenScreenshots.set(-17);
        kKeyLastWinSize.set(QRect(-5, 10, 640, 480));
        kKeyLastScreenshot.set(QDateTime(QDate(2024, 2, 29), QTime(23, 59, 58, 123), Qt::UTC));
        kKeyLastTabName.set(QStringLiteral("Data, with a comma; and \"quotes\" = \u00e9"));
        kKeyImageSetting.set({utils::toVariant(Preset()), utils::toVariant(Preset())});
        // The store gives a list of plain texts back as a string list; the key converts it.
        SettingKey<QVariantList>(QStringLiteral("Texts"), {}).set({QStringLiteral("a"), QStringLiteral("b")});
        kKeyFeedBackList.set({{QStringLiteral("abc"), QByteArray::fromHex("0000000101")}});

        QCOMPARE(zq::test::readInFreshProcess({"bool:TutorialWasShown:false", "int:countTakenScreenshots:0",
                                               "rect:LastWinSize", "datetime:LastScreenshot",
                                               "string:LastTabName:OCR", "variantlist:ImageSetting",
                                               "variantlist:Texts", "variantmap:FeedBackList"}),
                 QStringList({"contains=1 value=true", "contains=1 value=-17",
                              "contains=1 value=-5,10 640x480", "contains=1 value=2024-02-29T23:59:58.123Z",
                              "contains=1 value=Data, with a comma; and \"quotes\" = \u00e9",
                              "contains=1 value=[Preset:|Preset:]", "contains=1 value=[QString:a|QString:b]",
                              "contains=1 value=[abc=0000000101]"}));
    }

    void wronglyTypedValuesReadAsTheEmptyValue_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("expected");
        // A text that is no number gives 0, never the key's default.
        QTest::newRow("text as int") << QByteArray("abc") << "int:QeltListViewMode:2"
                                     << "contains=1 value=0";
        QTest::newRow("unknown user type")
            << QByteArray("@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\tutils::ROW_MEMORY\\0)")
            << "variant:LastSelectedRows"
            << "contains=1 value=:";
        QTest::newRow("list as map") << QByteArray("a, b") << "variantmap:FeedBackList"
                                     << "contains=1 value=[]";
        QTest::newRow("text as list") << QByteArray("one") << "stringlist:AuthInfo"
                                      << "contains=1 value=[one]";
    }

    void wronglyTypedValuesReadAsTheEmptyValue()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QString, command);
        QFETCH(QString, expected);
        const QString key = command.section(QLatin1Char(':'), 1, 1);
        QVERIFY(zq::test::writeRawSettings("[General]\n" + key.toUtf8() + '=' + stored + '\n'));
        QCOMPARE(zq::test::readInFreshProcess({command}), QStringList{expected});
    }

    void keyOperations()
    {
        const SettingKey<int> key(QStringLiteral("SomeCount"), 2);
        QCOMPARE(key.getOr(5), 5); // falls back only while nothing is stored
        key.set(0);
        QCOMPARE(key.getOr(5), 0);
        QCOMPARE(SettingKey<int>(key.key(), 9).get(), 0); // keys of one name share the value
        kKeyUserName.set(QStringLiteral("someone"));
        QVERIFY(kKeyUserName.contains());
        kKeyUserName.remove();
        QVERIFY(!kKeyUserName.contains());
        QCOMPARE(zq::test::readInFreshProcess({QStringLiteral("string:UserName")}),
                 QStringList{QStringLiteral("contains=0 value=<null>")});
        // A variant key hands back the stored variant unwrapped.
        kKeyResultFormat.set(QVariant::fromValue(QVariant(42)));
        QCOMPARE(kKeyResultFormat.get().userType(), int(QMetaType::Int));
        QCOMPARE(kKeyResultFormat.get().toInt(), 42);
    }

    void downloadFoldersDefaultToTheUserDownloadFolder()
    {
        const QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
        QVERIFY(downloads.startsWith(zq::test::homePath()));
        QCOMPARE(zq::test::readInFreshProcess({QStringLiteral("downloadFolders")}),
                 QStringList{downloads + QLatin1Char('|') + downloads});
    }

    void switchesMatchWholeArgumentsExactly()
    {
        QCOMPARE(zq::test::readInFreshProcess(
                     {"-hide-start-balloon", "-Full-dump", "hasArgument=-hide-start-balloon",
                      "hasArgument=-HIDE-START-BALLOON", "hasArgument=--hide-start-balloon",
                      "hasArgument=-hide-start", "hasArgument=-full-dump", "hasArgument=" ZQ_SETTINGS_PROBE}),
                 QStringList({"true", "false", "false", "false", "false", "true"}));
    }

    void migrationStepRunsOnlyBelowVersionOne_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<bool>("stepRuns");
        QTest::newRow("new installation") << -1000 << true;
        QTest::newRow("zero") << 0 << true;
        QTest::newRow("current") << 1 << false;
    }

    void migrationStepRunsOnlyBelowVersionOne()
    {
        QFETCH(int, stored);
        QFETCH(bool, stepRuns);
        if (stored != -1000)
            kKeySettingsVersion.set(stored);
        QList<int> calls;
        utils::migrateSettings([&](int version) {
            calls << version;
            return true;
        });
        QCOMPARE(calls, stepRuns ? QList<int>{stored == -1000 ? 0 : stored} : QList<int>{});
        QCOMPARE(kKeySettingsVersion.get(), stepRuns ? 1 : stored);
    }

    void failedMigrationStepKeepsTheVersion()
    {
        kKeySettingsVersion.set(-3);
        utils::migrateSettings([](int) { return false; });
        QCOMPARE(kKeySettingsVersion.get(), -3);

        QTest::ignoreMessage(QtWarningMsg, "Settings migration failed");
        utils::migrateSettings([](int) -> bool { throw std::runtime_error("disk on fire"); });
        QCOMPARE(kKeySettingsVersion.get(), -3);

        // Only the standard family is caught.
        QVERIFY_EXCEPTION_THROWN(utils::migrateSettings([](int) -> bool { throw 42; }), int);
        QCOMPARE(kKeySettingsVersion.get(), -3);
    }

    void unreadableFileIsSetAsideAtStart_data()
    {
        // One value holds a list that claims two thousand million entries: Qt cannot load it.
        const QByteArray broken = "Broken=\"@Variant(\\0\\0\\0\\t\\x7f\\xff\\xff\\xf0)\"\n";
        const QByteArray general = "[General]\nSettingsVersion=1\ncountTakenScreenshots=7\n";
        QTest::addColumn<QByteArray>("damaged");
        QTest::newRow("among the keys read first") << general + broken;
        // Qt parses a section only when it is needed, so a read of the first one alone would pass.
        QTest::newRow("in a later section") << general + "[Other]\n" + broken;
        // A polygon claiming thousands of millions of points: Qt dies on it instead of throwing.
        QTest::newRow("a value Qt dies on")
            << general + "Polygon=\"@Variant(\\0\\0\\0G\\x7f\\xff\\xff\\xff)\"\n";
        // A polygon (the old stream's type number) of a hundred million points: Qt appends them one by
        // one, for minutes and gigabytes.
        QTest::newRow("a value Qt works on for minutes")
            << general + "Polygon=\"@Variant(\\0\\0\\0\\xb7\\a\\0\\0\\0)\"\n";
        // Qt reads what it can of these and would write that back over the rest.
        QTest::newRow("garbage") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) +
                                        "\ncountTakenScreenshots=7\n";
        QTest::newRow("a section cut off") << general + "[Oth";
    }

    void unreadableFileIsSetAsideAtStart()
    {
        QFETCH(QByteArray, damaged);
        QVERIFY(zq::test::writeRawSettings(damaged));
        QCOMPARE(zq::test::readInFreshProcess(
                     {QStringLiteral("migrate"), QStringLiteral("int:countTakenScreenshots:0")}),
                 QStringList({QStringLiteral("1"), QStringLiteral("contains=0 value=0")}));

        const QFileInfo settingsFile(zq::test::settingsFilePath());
        const QDir folder = settingsFile.absoluteDir();
        const QStringList aside = folder.entryList({settingsFile.fileName() + QStringLiteral(".damaged-*")});
        QCOMPARE(aside.size(), 1);
        QFile kept(folder.filePath(aside.first()));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), damaged);
        QVERIFY(kept.remove());
    }
};

ZQ_TEST_MAIN(TestSettings)
#include "test_settings.moc"
