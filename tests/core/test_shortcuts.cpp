#include "SettingsProbe.h"

#include "core/settings.h"
#include "core/x11/x11Shortcuts.h"

#include "support/TestMain.h"
#include "support/streams.h"

#include <QX11Info>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
// Xlib's macros clash with Qt's names.
#undef Status

using utils::shortcuts::Shortcut;

namespace {

const Qt::KeyboardModifiers kCtrlAlt = Qt::ControlModifier | Qt::AltModifier;

// Lower-case keysym of a keycode, as the X server maps it.
KeySym keysymOf(quint8 keycode)
{
    KeySym lower = NoSymbol;
    KeySym upper = NoSymbol;
    int count = 0;
    KeySym* syms = XGetKeyboardMapping(QX11Info::display(), keycode, 1, &count);
    if (syms && count > 0)
        XConvertCase(syms[0], &lower, &upper);
    XFree(syms);
    return lower;
}

} // namespace

// Hotkey values: their text, key-sequence and X11 forms, and how they are stored.
class TestShortcuts : public QObject
{
    Q_OBJECT

private slots:
    void init() { zq::test::clearSettings(); }

    void textForms_data()
    {
        QTest::addColumn<Shortcut>("shortcut");
        QTest::addColumn<QString>("spaced");
        QTest::newRow("ctrl alt m") << Shortcut(kCtrlAlt, Qt::Key_M) << "CTRL + ALT + M";
        QTest::newRow("ctrl shift 5")
            << Shortcut(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_5) << "CTRL + SHIFT + 5";
        QTest::newRow("meta hidden") << Shortcut(Qt::MetaModifier | Qt::ControlModifier, Qt::Key_K)
                                     << "CTRL + K";
        QTest::newRow("modifiers only")
            << Shortcut(Qt::AltModifier | Qt::ShiftModifier, Qt::Key_Escape) << "ALT + SHIFT";
        QTest::newRow("none") << Shortcut() << "";
        QTest::newRow("key without text") << Shortcut(Qt::ControlModifier, Qt::Key_F1) << "CTRL + ";
        QTest::newRow("bare letter") << Shortcut(Qt::NoModifier, Qt::Key_Z) << "Z";
    }

    void textForms()
    {
        QFETCH(Shortcut, shortcut);
        QFETCH(QString, spaced);
        QCOMPARE(utils::shortcuts::toText(shortcut, true), spaced);
        QCOMPARE(utils::shortcuts::toText(shortcut, false), QString(spaced).remove(' '));
    }

    void keySequences()
    {
        using utils::shortcuts::toKeySequence;
        QCOMPARE(
            toKeySequence(Shortcut(Qt::MetaModifier | Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_K)),
            QKeySequence(Qt::META | Qt::CTRL | Qt::Key_K));
        QCOMPARE(toKeySequence(Shortcut()), QKeySequence(Qt::Key_Escape));
        QCOMPARE(toKeySequence(Shortcut(Qt::ControlModifier, Qt::Key_Control)),
                 QKeySequence(Qt::Key_Control));
        QCOMPARE(toKeySequence(Shortcut(Qt::ControlModifier, Qt::Key_unknown)), QKeySequence());
    }

    void x11KeycodesAreTheKeysOfTheServer_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<qulonglong>("keysym");
        QTest::addColumn<QString>("critical");
        QTest::newRow("M") << int(Qt::Key_M) << qulonglong(XK_m) << QString();
        QTest::newRow("Z") << int(Qt::Key_Z) << qulonglong(XK_z) << QString();
        QTest::newRow("0") << int(Qt::Key_0) << qulonglong(XK_0) << QString();
        QTest::newRow("9") << int(Qt::Key_9) << qulonglong(XK_9) << QString();
        // Other keys fall back to the letter A.
        QTest::newRow("F1") << int(Qt::Key_F1) << qulonglong(XK_a) << "Invalid key: Qt::Key_F1";
        QTest::newRow("-5") << -5 << qulonglong(XK_a) << "Invalid key: -5";
    }

    void x11KeycodesAreTheKeysOfTheServer()
    {
        QFETCH(int, key);
        QFETCH(qulonglong, keysym);
        QFETCH(QString, critical);
        QVERIFY(QX11Info::isPlatformX11());
        if (!critical.isNull())
            QTest::ignoreMessage(QtCriticalMsg, qPrintable(critical));
        const quint8 keycode = utils::shortcuts::x11Keycode(Shortcut(kCtrlAlt, key), QX11Info::display());
        QVERIFY(keycode != 0);
        QCOMPARE(qulonglong(keysymOf(keycode)), keysym);
    }

    void storedRecordsAreGolden()
    {
        QCOMPARE(zq::test::streamed(Shortcut(kCtrlAlt, Qt::Key_M)).toHex(' '),
                 QByteArray("00 00 00 02 08 00 00 00 04 00 00 00 00 00 00 00 00 00 00 4d"));
        QCOMPARE(zq::test::streamed(Shortcut()).toHex(' '),
                 QByteArray("00 00 00 00 00 00 00 00 01 00 00 00"));
    }

    void storedRecordsRead_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Shortcut>("expected");
        QTest::addColumn<int>("status");
        const Shortcut all(Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier,
                           Qt::Key_9);
        const Shortcut empty(Qt::NoModifier, 0);
        QTest::newRow("four modifiers") << zq::test::streamed(all) << all << int(QDataStream::Ok);
        QTest::newRow("others not stored")
            << zq::test::streamed(Shortcut(Qt::KeypadModifier | Qt::AltModifier, Qt::Key_A))
            << Shortcut(Qt::AltModifier, Qt::Key_A) << int(QDataStream::Ok);
        QTest::newRow("unknown entry kept")
            << QByteArray::fromHex("00000001200000000000000000000041")
            << Shortcut(Qt::KeypadModifier, Qt::Key_A) << int(QDataStream::Ok);
        // A huge count must neither allocate nor throw: such a file would break every start.
        QTest::newRow("huge count") << QByteArray::fromHex("ffffffff08000000") << empty
                                    << int(QDataStream::ReadCorruptData);
        QTest::newRow("count five") << QByteArray::fromHex("00000005") + QByteArray(28, '\0') << empty
                                    << int(QDataStream::ReadCorruptData);
        QTest::newRow("empty") << QByteArray() << empty << int(QDataStream::ReadPastEnd);
        QTest::newRow("cut in entries")
            << QByteArray::fromHex("0000000208000000") << empty << int(QDataStream::ReadPastEnd);
        QTest::newRow("cut in key") << QByteArray::fromHex("000000010800000000000000") << empty
                                    << int(QDataStream::ReadPastEnd);
    }

    void storedRecordsRead()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(Shortcut, expected);
        QFETCH(int, status);
        QDataStream::Status actual;
        QCOMPARE(zq::test::readStreamed<Shortcut>(bytes, &actual), expected);
        QCOMPARE(int(actual), status);
    }

    void gettersGiveTheDefaultsUntilSomethingIsStored()
    {
        QCOMPARE(zq::test::readInFreshProcess({QStringLiteral("shortcuts")}),
                 QStringList{QStringLiteral("c000000/4d c000000/4f c000000/4e c000000/4b")});
        const Shortcut mine(Qt::ShiftModifier | Qt::MetaModifier, Qt::Key_7);
        utils::setShortcutLatex(mine);
        utils::setShortcutReload(Shortcut());
        utils::setShortcutMarkdownEdit(mine);
        utils::setShortcutLatexEdit(Shortcut(Qt::ControlModifier, Qt::Key_Q));
        QCOMPARE(zq::test::readInFreshProcess({QStringLiteral("shortcuts")}),
                 QStringList{QStringLiteral("12000000/37 0/1000000 12000000/37 4000000/51")});
        // A stored value that is no shortcut reads as empty until it is removed.
        kKeyShortcutLatex.set(QStringLiteral("CTRL+ALT+M"));
        QCOMPARE(utils::shortcutLatex(), Shortcut(Qt::NoModifier, 0));
        kKeyShortcutLatex.remove();
        QCOMPARE(utils::shortcutLatex(), Shortcut(kCtrlAlt, Qt::Key_M));
    }
};

ZQ_TEST_MAIN(TestShortcuts)
#include "test_shortcuts.moc"
