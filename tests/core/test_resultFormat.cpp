#include "SettingsProbe.h"

#include "core/ResultFormat.h"
#include "core/latex.h"
#include "core/settings.h"

#include "support/TestMain.h"
#include "support/streams.h"

#include <QDataStream>

namespace {

using zq::test::streamed;

utils::ResultFormat read(const QByteArray& bytes, QDataStream::Status* status = nullptr)
{
    return zq::test::readStreamed<utils::ResultFormat>(bytes, status);
}

} // namespace

// The stored delimiter choices and the LaTeX wrappers built on them.
class TestResultFormat : public QObject
{
    Q_OBJECT

private slots:
    void init() { zq::test::clearSettings(); }

    void fieldsStreamInTheStoredOrder()
    {
        QCOMPARE(streamed(utils::ResultFormat()).toHex(' '),
                 QByteArray("01 01 01 01 01 00 00 00 00 ff ff ff ff ff ff ff ff"));
        // Settings store user types with the oldest variant form; the record must not depend on it.
        QCOMPARE(streamed(utils::ResultFormat()),
                 streamed(utils::ResultFormat(), QDataStream::Qt_DefaultCompiledVersion));
        utils::ResultFormat rf;
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
        QCOMPARE(read(bytes), rf);
    }

    void stylesReadUnsignedAndEqualityComparesEveryField()
    {
        utils::ResultFormat rf;
        rf.inlineStyle = 0x80;
        rf.blockStyle = 255;
        rf.numberedStyle = 0x1203;
        const utils::ResultFormat back = read(streamed(rf));
        QCOMPARE(back.inlineStyle, 128);
        QCOMPARE(back.blockStyle, 255);
        QCOMPARE(back.numberedStyle, 3);
        utils::ResultFormat a;
        utils::ResultFormat b;
        b.reserved1 = false;
        QVERIFY(a != b);
        b = a;
        b.customOpenDelimiter = QStringLiteral(""); // empty equals null, though they stream apart
        QVERIFY(a == b && streamed(a) != streamed(b));
        b.customOpenDelimiter = QStringLiteral("x");
        QVERIFY(a != b);
    }

    void truncatedRecordReportsReadPastEnd()
    {
        QByteArray bytes = streamed(utils::ResultFormat());
        for (int size = 0; size < bytes.size(); ++size) {
            QDataStream::Status status = QDataStream::Ok;
            read(bytes.left(size), &status);
            QCOMPARE(status, QDataStream::ReadPastEnd);
        }
    }

    void storedValueSurvivesARestart()
    {
        QCOMPARE(zq::test::readInFreshProcess({QStringLiteral("resultFormat")}),
                 QStringList{QString::fromLatin1(streamed(utils::ResultFormat()).toHex())});
        utils::ResultFormat rf;
        rf.blockStyle = 7;
        rf.numberedStyle = 5;
        rf.customOpenDelimiter = QStringLiteral("\\begin{x}");
        utils::setResultFormat(rf);
        QCOMPARE(utils::resultFormat(), rf);
        QCOMPARE(zq::test::readInFreshProcess({QStringLiteral("resultFormat")}),
                 QStringList{QString::fromLatin1(streamed(rf).toHex())});
        kKeyResultFormat.set(QStringLiteral("not a format")); // unreadable: the default
        QCOMPARE(utils::resultFormat(), utils::ResultFormat());
    }

    void wrappersWrapTheTextAsOneBlock_data()
    {
        QTest::addColumn<QString>("wrapped");
        QTest::addColumn<QString>("expected");
        QTest::newRow("display unknown style")
            << utils::wrapDisplayLatex(QStringLiteral("x"), 7, false) << QStringLiteral("$$x$$");
        QTest::newRow("display empty with newlines")
            << utils::wrapDisplayLatex(QString(), 0, true) << QStringLiteral("$$\r\n\r\n$$");
        QTest::newRow("numbered with newlines")
            << utils::wrapNumberedLatex(QStringLiteral("a\nb"), 0, true)
            << QStringLiteral("\\begin{equation}\r\na\nb\r\n\\end{equation}");
        QTest::newRow("custom empty pair")
            << utils::joinLines(QStringLiteral(" x "), QString(), QString(), false) << QStringLiteral(" x ");
    }

    void wrappersWrapTheTextAsOneBlock()
    {
        QFETCH(QString, wrapped);
        QFETCH(QString, expected);
        QCOMPARE(wrapped, expected);
    }
};

ZQ_TEST_MAIN(TestResultFormat)
#include "test_resultFormat.moc"
