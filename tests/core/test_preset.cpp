#include "core/Preset.h"

#include "support/TestMain.h"
#include "support/streams.h"

#include <QDataStream>

namespace {

using zq::test::streamed;

Preset read(const QByteArray& bytes, QDataStream::Status* status = nullptr)
{
    return zq::test::readStreamed<Preset>(bytes, status);
}

// A record as written by hand: name, file type text and the kind bytes chosen by the test.
QByteArray record(const QString& fileType, quint8 builtIn, quint8 fontKind, quint8 backgroundKind)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream.setVersion(QDataStream::Qt_4_0);
    stream << QStringLiteral("Hand made") << fileType << builtIn << qint32(14) << qint32(300) << fontKind
           << QColor(Qt::red) << backgroundKind << QColor(Qt::blue);
    return bytes;
}

} // namespace

// Image-export presets: colours, equality and the stored record.
class TestPreset : public QObject
{
    Q_OBJECT

private slots:
    void defaultPresetRecord()
    {
        // The name as 56 bytes of big-endian UTF-16.
        QByteArray expected = QByteArray::fromHex("00000038");
        for (char c : QByteArray("Microsoft Office - 12pt font"))
            expected.append('\0').append(c);
        expected += QByteArray::fromHex("00000006 0070006e0067 00 0000000c 00000258 00 01ffff0000000000000000"
                                        "02 01ffffffffffffffff0000");
        QCOMPARE(streamed(Preset()).toHex(' '), expected.toHex(' '));
    }

    void readingBackDropsOnlyTheTip()
    {
        Preset tiff(QStringLiteral("Poster"), 1, 48, 150, Preset::White, Preset::Custom,
                    QStringLiteral("<i>tip</i>"));
        tiff.builtInType = Preset::UserSaved;
        tiff.setBackgroundColor(QColor(10, 20, 30, 40));
        QDataStream::Status status;
        const Preset back = read(streamed(tiff), &status);
        QCOMPARE(status, QDataStream::Ok);
        QCOMPARE(back, tiff);
        QCOMPARE(back.tip, QString());
        QCOMPARE(back.customBackgroundColor, QColor(10, 20, 30, 40));
    }

    void handWrittenRecordsRead_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("fileType");
        QTest::newRow("tiff") << "tiff" << 0xFF << 1; // kind bytes read unsigned
        QTest::newRow("png") << "png" << 0x80 << 0;
        QTest::newRow("upper case") << "TIFF" << 0 << 0;
        QTest::newRow("unknown") << "gif" << 1 << 0;
    }

    void handWrittenRecordsRead()
    {
        QFETCH(QString, text);
        QFETCH(int, kind);
        QFETCH(int, fileType);
        const Preset preset = read(record(text, quint8(kind), quint8(kind), quint8(kind)));
        QCOMPARE(preset.fileType, fileType);
        QCOMPARE(preset.builtInType, kind);
        QCOMPARE(preset.fontColorKind, kind);
        QCOMPARE(preset.backgroundKind, kind);
        QCOMPARE(preset.fontColor(), kind == 0   ? QColor(Qt::black)
                                     : kind == 1 ? QColor(Qt::white)
                                                 : QColor(Qt::red));
    }

    void coloursAndEquality()
    {
        Preset preset;
        QCOMPARE(preset.backgroundColor(), QColor(Qt::white));
        preset.backgroundKind = Preset::Black;
        preset.customBackgroundColor = QColor(Qt::green);
        QCOMPARE(preset.backgroundColor(), QColor(Qt::green));
        preset.fontColorKind = Preset::White;
        QCOMPARE(preset.fontColor(), QColor(Qt::white));
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

    void damagedRecordsReportTheirStatus()
    {
        const QByteArray bytes = streamed(Preset());
        QDataStream::Status status;
        read(bytes.left(bytes.size() - 1), &status);
        QCOMPARE(status, QDataStream::ReadPastEnd);
        // The font colour's model byte sits 23 bytes before the end: model, five 16-bit fields, kind, colour.
        QByteArray damaged = bytes;
        const int specOffset = bytes.size() - 2 * 11 - 1;
        QCOMPARE(damaged.at(specOffset), char(QColor::Rgb));
        damaged[specOffset] = 12;
        QVERIFY(!read(damaged, &status).customFontColor.isValid());
        QCOMPARE(status, QDataStream::ReadCorruptData);
    }

    void bothNamesLoadTheSameStoredValue()
    {
        const Preset preset(QStringLiteral("Slides"), 1, 20, 300, Preset::White, Preset::White, QString());
        const QByteArray bytes = streamed(utils::toVariant(preset));
        QVERIFY(bytes.contains(QByteArray("Preset", 7)));
        // The same record under the second name, as an older list might carry it.
        QByteArray other = bytes;
        other.replace(QByteArray("\0\0\0\x07Preset\0", 11), QByteArray("\0\0\0\x0futils::PRESETS\0", 19));
        for (const QByteArray& stored : {bytes, other}) {
            QDataStream::Status status;
            const QVariant value = zq::test::readStreamed<QVariant>(stored, &status);
            QCOMPARE(status, QDataStream::Ok);
            QCOMPARE(value.value<Preset>(), preset);
        }
    }
};

ZQ_TEST_MAIN(TestPreset)
#include "test_preset.moc"
