#include "SettingsProbe.h"

#include "core/settings.h"
#include "core/userState.h"

#include "support/TestMain.h"

#include "support/streams.h"

// Remembered rows, feedback answers, the signed-in account and the named flags.
class TestUserState : public QObject
{
    Q_OBJECT

private slots:
    void init() { zq::test::clearSettings(); }

    void rowMemoryIsThreeBigEndianIntsThatSurviveARestart()
    {
        QCOMPARE(zq::test::streamed(utils::ROW_MEMORY{1, -2, 0x01020304}).toHex(' '),
                 QByteArray("00 00 00 01 ff ff ff fe 01 02 03 04"));
        QCOMPARE(zq::test::readInFreshProcess({QStringLiteral("rowMemory")}),
                 QStringList{QStringLiteral("000000000000000000000000")});
        utils::setRowMemory({3, 0, 7});
        QCOMPARE(utils::rowMemory(), (utils::ROW_MEMORY{3, 0, 7}));
        QCOMPARE(zq::test::readInFreshProcess({QStringLiteral("rowMemory")}),
                 QStringList{QStringLiteral("000000030000000000000007")});
        kKeyLastSelectedRows.set(QVariant::fromValue(QRect(1, 2, 3, 4))); // another type reads as zeros
        QCOMPARE(utils::rowMemory(), utils::ROW_MEMORY());
    }

    void feedbackEntriesStoreFiveBytes()
    {
        QCOMPARE(utils::encodeFeedbackEntry({1, true}).toHex(' '), QByteArray("00 00 00 01 01"));
        QCOMPARE(utils::encodeFeedbackEntry({}).toHex(' '), QByteArray("ff ff ff ff 00"));
    }

    void shortFeedbackEntriesReadTheMissingFieldsAsZero_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("rating");
        QTest::addColumn<bool>("complete");
        QTest::newRow("empty") << QByteArray() << 0 << false;
        QTest::newRow("rating only") << QByteArray::fromHex("00000001") << 1 << false;
        QTest::newRow("cut rating") << QByteArray::fromHex("0000") << 0 << false;
        QTest::newRow("longer") << QByteArray::fromHex("00000000017777") << 0 << true;
        QTest::newRow("flag byte 2") << QByteArray::fromHex("0000000102") << 1 << true;
    }

    void shortFeedbackEntriesReadTheMissingFieldsAsZero()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, rating);
        QFETCH(bool, complete);
        const FeedbackEntry entry = utils::decodeFeedbackEntry(bytes);
        QCOMPARE(entry.rating, rating);
        QCOMPARE(entry.complete, complete);
    }

    void feedbackListIsReplacedWholeAndSurvivesARestart()
    {
        utils::setFeedbackList({{QStringLiteral("old"), {0, false}}, {QStringLiteral("abc"), {0, false}}});
        utils::setFeedbackList({{QStringLiteral("abc"), {1, true}}, {QStringLiteral("new"), {-1, false}}});
        QCOMPARE(kKeyFeedBackList.get().value(QStringLiteral("new")).toByteArray(),
                 QByteArray::fromHex("ffffffff00"));
        QCOMPARE(zq::test::readInFreshProcess({QStringLiteral("feedbackList")}),
                 QStringList{QStringLiteral("[abc:1:true|new:-1:false]")});
        utils::setFeedbackList({}); // an empty list stays stored
        QCOMPARE(zq::test::readInFreshProcess(
                     {QStringLiteral("variantmap:FeedBackList"), QStringLiteral("feedbackList")}),
                 QStringList({QStringLiteral("contains=1 value=[]"), QStringLiteral("[]")}));
    }

    void authInfoIsCompleteOrEmpty_data()
    {
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QString>("expected");
        QTest::newRow("signed in") << QStringList{"me@example.org", "t0k,en"} << "me@example.org|t0k,en";
        QTest::newRow("signed out") << QStringList{"", ""} << "<null>|<null>";
        QTest::newRow("no token") << QStringList{"me@example.org", ""} << "<null>|<null>";
        QTest::newRow("no e-mail") << QStringList{"", "token"} << "<null>|<null>";
        QTest::newRow("three strings") << QStringList{"a", "b", "c"} << "<null>|<null>";
        QTest::newRow("one string") << QStringList{"a"} << "<null>|<null>";
    }

    void authInfoIsCompleteOrEmpty()
    {
        QFETCH(QStringList, stored);
        QFETCH(QString, expected);
        if (stored.size() == 2)
            utils::setAuthInfo(stored.at(0), stored.at(1));
        else
            kKeyAuthInfo.set(stored);
        QCOMPARE(zq::test::readInFreshProcess({QStringLiteral("authInfo")}), QStringList{expected});
    }

    void namedFlagsFollowTheirKeysAndIgnoreUnknownNames()
    {
        utils::setShortcutEnabled(QStringLiteral("latexedit"), false);
        utils::setFormatShown(QStringLiteral("svg"), false);
        QCOMPARE(kKeyEnableShortcutLatexEdit.get(), false);
        QCOMPARE(kKeyShowSVG.get(), false);

        // Names are case-sensitive; an unknown name is always on and never stored.
        const QStringList before = QSettings().allKeys();
        utils::setShortcutEnabled(QStringLiteral("Latex"), false);
        utils::setFormatShown(QStringLiteral("smiles"), false);
        QCOMPARE(QSettings().allKeys(), before);
        kKeyEnableShortcutLatex.set(false);
        QVERIFY(utils::isShortcutEnabled(QStringLiteral("Latex")));
        QVERIFY(utils::isFormatShown(QStringLiteral("smiles")));

        QCOMPARE(zq::test::readInFreshProcess({QStringLiteral("flags")}),
                 QStringList{QStringLiteral("false false false true")});
    }
};

ZQ_TEST_MAIN(TestUserState)
#include "test_userState.moc"
