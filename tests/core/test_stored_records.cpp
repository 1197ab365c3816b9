#include "SettingsProbe.h"

#include "core/Preset.h"
#include "core/ResultFormat.h"
#include "core/UserSetting.h"
#include "core/latex.h"
#include "core/settings.h"
#include "core/shortcuts.h"
#include "core/userState.h"

#include "support/TestMain.h"
#include "support/streams.h"

using utils::ResultFormat;
using zq::test::readStreamed;
using zq::test::streamed;

namespace {

// A preset record as written by hand: file type text and the kind bytes chosen by the test.
QByteArray presetRecord(const QString& fileType, quint8 kind)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream.setVersion(zq::test::kStoredStreamVersion);
    stream << QStringLiteral("Hand made") << fileType << kind << qint32(14) << qint32(300) << kind
           << QColor(Qt::red) << kind << QColor(Qt::blue);
    return bytes;
}

} // namespace

// The records kept in settings, byte for byte, and how damaged ones read.
class TestStoredRecords : public QObject
{
    Q_OBJECT

private slots:
    void init() { zq::test::clearSettings(); }

    void storedValuesCarryTheirNameAndLoadBack_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("result format")
            << QVariant::fromValue(ResultFormat()) << QByteArray("utils::ResultFormat");
        QTest::newRow("row memory") << QVariant::fromValue(utils::ROW_MEMORY{4, 5, 6})
                                    << QByteArray("utils::ROW_MEMORY");
        QTest::newRow("shortcut") << QVariant::fromValue(
                                         utils::shortcuts::Shortcut(Qt::ControlModifier, Qt::Key_7))
                                  << QByteArray("utils::shortcuts::Shortcut");
        QTest::newRow("preset") << QVariant::fromValue(Preset()) << QByteArray("Preset");
        QTest::newRow("user setting")
            << QVariant::fromValue(utils::UserSetting()) << QByteArray("utils::UserSetting");
    }

    void storedValuesCarryTheirNameAndLoadBack()
    {
        QFETCH(QVariant, value);
        QFETCH(QByteArray, name);
        const QByteArray bytes = streamed(value);
        QCOMPARE(bytes.mid(8, name.size() + 1), name + '\0');
        QDataStream::Status status;
        const QVariant loaded = readStreamed<QVariant>(bytes, &status);
        QCOMPARE(status, QDataStream::Ok);
        QCOMPARE(loaded.userType(), value.userType());
        QCOMPARE(streamed(loaded), bytes);
    }

    void presetRecordIsGoldenAndReadsBackWithoutItsTip()
    {
        // The name as 56 bytes of big-endian UTF-16.
        QByteArray expected = QByteArray::fromHex("00000038");
        for (char c : QByteArray("Microsoft Office - 12pt font"))
            expected.append('\0').append(c);
        expected += QByteArray::fromHex("00000006 0070006e0067 00 0000000c 00000258 00 01ffff0000000000000000"
                                        "02 01ffffffffffffffff0000");
        QCOMPARE(streamed(Preset()).toHex(' '), expected.toHex(' '));

        Preset tiff(QStringLiteral("Poster"), 1, 48, 150, Preset::White, Preset::Custom,
                    QStringLiteral("<i>tip</i>"));
        tiff.builtInType = Preset::UserSaved;
        tiff.setBackgroundColor(QColor(10, 20, 30, 40));
        QDataStream::Status status;
        const Preset back = readStreamed<Preset>(streamed(tiff), &status);
        QCOMPARE(status, QDataStream::Ok);
        QCOMPARE(back, tiff);
        QCOMPARE(back.tip, QString());
        QCOMPARE(back.customBackgroundColor, QColor(10, 20, 30, 40));
    }

    void handWrittenPresetsRead_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("fileType");
        QTest::newRow("tiff") << "tiff" << 0xFF << 1; // kind bytes read unsigned
        QTest::newRow("png") << "png" << 0x80 << 0;
        QTest::newRow("upper case") << "TIFF" << 0 << 0;
        QTest::newRow("unknown") << "gif" << 1 << 0;
    }

    void handWrittenPresetsRead()
    {
        QFETCH(QString, text);
        QFETCH(int, kind);
        QFETCH(int, fileType);
        const Preset preset = readStreamed<Preset>(presetRecord(text, quint8(kind)));
        QCOMPARE(preset.fileType, fileType);
        QCOMPARE(preset.builtInType, kind);
        QCOMPARE(preset.fontColorKind, kind);
        QCOMPARE(preset.backgroundKind, kind);
        QCOMPARE(preset.fontColor(), kind == 0   ? QColor(Qt::black)
                                     : kind == 1 ? QColor(Qt::white)
                                                 : QColor(Qt::red));
    }

    void presetColoursAndEquality()
    {
        Preset preset;
        QCOMPARE(preset.backgroundColor(), QColor(Qt::white));
        preset.backgroundKind = Preset::Black;
        preset.customBackgroundColor = QColor(Qt::green);
        QCOMPARE(preset.backgroundColor(), QColor(Qt::green));
        Preset custom;
        custom.setFontColor(Qt::black);
        QCOMPARE(custom.fontColor(), Preset().fontColor());
        QVERIFY(custom != Preset());
        // Equality ignores only the tip.
        Preset office(QStringLiteral("Microsoft Office - 12pt font"), 0, 12, 600, Preset::Black,
                      Preset::Transparent, QStringLiteral("Paste into documents"));
        QCOMPARE(office, Preset());
        office.builtInType = Preset::UserSaved;
        QVERIFY(office != Preset());
    }

    void damagedPresetsReportTheirStatus_data()
    {
        // The font colour's record: the model byte and five 16-bit fields (alpha, red, green, blue, pad).
        QTest::addColumn<QByteArray>("colour");
        QTest::newRow("a model no colour has") << QByteArray::fromHex("0c ffff ffff 0000 0000 0000");
        // Half-precision floats in an extended colour: neither equals anything, itself included.
        QTest::newRow("an extended colour not a number")
            << QByteArray::fromHex("05 3c00 7e00 0000 0000 0000");
        QTest::newRow("an extended colour infinite") << QByteArray::fromHex("05 7c00 3c00 3c00 3c00 0000");
    }

    void damagedPresetsReportTheirStatus()
    {
        QFETCH(QByteArray, colour);
        const QByteArray bytes = streamed(Preset());
        QDataStream::Status status;
        readStreamed<Preset>(bytes.left(bytes.size() - 1), &status);
        QCOMPARE(status, QDataStream::ReadPastEnd);
        // The font colour sits 23 bytes before the end: its 11 bytes, the background's kind and colour.
        QByteArray damaged = bytes;
        const int colourOffset = bytes.size() - 2 * 11 - 1;
        QCOMPARE(damaged.at(colourOffset), char(QColor::Rgb));
        damaged.replace(colourOffset, 11, colour);
        QVERIFY(!readStreamed<Preset>(damaged, &status).customFontColor.isValid());
        QCOMPARE(status, QDataStream::ReadCorruptData);
        // A sound extended colour still reads.
        damaged.replace(colourOffset, 11, QByteArray::fromHex("05 3c00 3800 0000 3c00 0000"));
        QCOMPARE(readStreamed<Preset>(damaged, &status).customFontColor.rgba(),
                 QColor::fromRgbF(0.5, 0, 1).rgba());
        QCOMPARE(status, QDataStream::Ok);
    }

    void bothPresetNamesLoadTheSameStoredValue()
    {
        const Preset preset(QStringLiteral("Slides"), 1, 20, 300, Preset::White, Preset::White, QString());
        const QByteArray bytes = streamed(utils::toVariant(preset));
        // The same record under the second name, as an older list might carry it.
        QByteArray other = bytes;
        other.replace(QByteArray("\0\0\0\x07Preset\0", 11), QByteArray("\0\0\0\x0futils::PRESETS\0", 19));
        QVERIFY(other != bytes);
        QDataStream::Status status;
        QCOMPARE(readStreamed<QVariant>(other, &status).value<Preset>(), preset);
        QCOMPARE(status, QDataStream::Ok);
    }

    void resultFormatFieldsStreamInTheStoredOrder()
    {
        QCOMPARE(streamed(ResultFormat()).toHex(' '),
                 QByteArray("01 01 01 01 01 00 00 00 00 ff ff ff ff ff ff ff ff"));
        // Settings store user types with the oldest variant form; the record must not depend on it.
        QCOMPARE(streamed(ResultFormat()), streamed(ResultFormat(), QDataStream::Qt_DefaultCompiledVersion));
        ResultFormat rf;
        rf.reserved2 = false;
        rf.numberedEnabled = false;
        rf.inlineStyle = 1;
        rf.blockStyle = 3;
        rf.numberedStyle = 2;
        rf.customEnabled = true;
        rf.customOpenDelimiter = QStringLiteral("<");
        rf.customCloseDelimiter = QString(QStringLiteral(""));
        const QByteArray bytes = streamed(rf);
        QCOMPARE(bytes.toHex(' '), QByteArray("01 00 01 01 00 01 03 02 01 00 00 00 02 00 3c 00 00 00 00"));
        QCOMPARE(readStreamed<ResultFormat>(bytes), rf);
        // Every shorter record is reported as cut short.
        for (int size = 0; size < bytes.size(); ++size) {
            QDataStream::Status status = QDataStream::Ok;
            readStreamed<ResultFormat>(bytes.left(size), &status);
            QCOMPARE(status, QDataStream::ReadPastEnd);
        }
    }

    void resultFormatStylesReadUnsignedAndEqualityComparesEveryField()
    {
        ResultFormat rf;
        rf.inlineStyle = 0x80;
        rf.blockStyle = 255;
        rf.numberedStyle = 0x1203;
        const ResultFormat back = readStreamed<ResultFormat>(streamed(rf));
        QCOMPARE(back.inlineStyle, 128);
        QCOMPARE(back.blockStyle, 255);
        QCOMPARE(back.numberedStyle, 3);
        ResultFormat a;
        ResultFormat b;
        b.reserved1 = false;
        QVERIFY(a != b);
        b = a;
        b.customOpenDelimiter = QStringLiteral(""); // empty equals null, though they stream apart
        QVERIFY(a == b && streamed(a) != streamed(b));
        b.customOpenDelimiter = QStringLiteral("x");
        QVERIFY(a != b);
    }

    void resultFormatSurvivesARestart()
    {
        QCOMPARE(zq::test::readInFreshProcess({QStringLiteral("resultFormat")}),
                 QStringList{QString::fromLatin1(streamed(ResultFormat()).toHex())});
        ResultFormat rf;
        rf.blockStyle = 7;
        rf.numberedStyle = 5;
        rf.customOpenDelimiter = QStringLiteral("\\begin{x}");
        utils::setResultFormat(rf);
        QCOMPARE(utils::resultFormat(), rf);
        QCOMPARE(zq::test::readInFreshProcess({QStringLiteral("resultFormat")}),
                 QStringList{QString::fromLatin1(streamed(rf).toHex())});
        kKeyResultFormat.set(QStringLiteral("not a format")); // unreadable: the default
        QCOMPARE(utils::resultFormat(), ResultFormat());
    }

    void latexWrappersWrapTheTextAsOneBlock()
    {
        QCOMPARE(utils::wrapDisplayLatex(QStringLiteral("x"), 7, false), QStringLiteral("$$x$$"));
        QCOMPARE(utils::wrapDisplayLatex(QString(), 0, true), QStringLiteral("$$\r\n\r\n$$"));
        QCOMPARE(utils::wrapNumberedLatex(QStringLiteral("a\nb"), 0, true),
                 QStringLiteral("\\begin{equation}\r\na\nb\r\n\\end{equation}"));
        QCOMPARE(utils::joinLines(QStringLiteral(" x "), QString(), QString(), false), QStringLiteral(" x "));
    }

    void rowMemoryIsThreeBigEndianIntsThatSurviveARestart()
    {
        QCOMPARE(streamed(utils::ROW_MEMORY{1, -2, 0x01020304}).toHex(' '),
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

    void feedbackEntriesReadTheMissingFieldsAsZero_data()
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

    void feedbackEntriesReadTheMissingFieldsAsZero()
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
        QCOMPARE(utils::encodeFeedbackEntry({1, true}).toHex(' '), QByteArray("00 00 00 01 01"));
        utils::setFeedbackList({{QStringLiteral("old"), {0, false}}, {QStringLiteral("abc"), {0, false}}});
        utils::setFeedbackList({{QStringLiteral("abc"), {1, true}}, {QStringLiteral("new"), {}}});
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

ZQ_TEST_MAIN(TestStoredRecords)
#include "test_stored_records.moc"
