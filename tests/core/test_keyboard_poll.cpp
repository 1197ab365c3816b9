// The keys held on an X server, as the shortcut recorder polls them: a private Xorg desktop whose keys are
// pressed through the XTEST extension, so that no other test's windows receive them.
#include "core/x11/KeyboardPoller.h"
#include "core/x11/heldKeys.h"

#include "support/DummyXorg.h"
#include "support/TestMain.h"

#include <QX11Info>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
// Xlib's macros clash with Qt's names.
#undef Status
#undef KeyPress
#undef KeyRelease

using utils::shortcuts::Shortcut;

Q_DECLARE_METATYPE(QVector<quint32>)

namespace {

// Before main: Qt opens the display once, with the application object.
const bool kStarted = (zq::test::startDummyDesktop({QRect(0, 0, 1024, 768)}), true);
const Qt::KeyboardModifiers kCtrl = Qt::ControlModifier;

quint32 keycodeOf(quint32 keysym)
{
    return XKeysymToKeycode(QX11Info::display(), keysym);
}

// Holds keys down on the server for its lifetime.
class HeldKeys
{
public:
    explicit HeldKeys(const QVector<quint32>& keysyms) : m_keysyms(keysyms)
    {
        for (const quint32 keysym : m_keysyms)
            XTestFakeKeyEvent(QX11Info::display(), keycodeOf(keysym), True, CurrentTime);
        XSync(QX11Info::display(), False);
    }
    ~HeldKeys()
    {
        for (const quint32 keysym : m_keysyms)
            XTestFakeKeyEvent(QX11Info::display(), keycodeOf(keysym), False, CurrentTime);
        XSync(QX11Info::display(), False);
    }

private:
    QVector<quint32> m_keysyms;
};

} // namespace

class TestKeyboardPoll : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(kStarted);
        QVERIFY(KeyboardPoller::isAvailable());
        int event, error, major, minor;
        QVERIFY(XTestQueryExtension(QX11Info::display(), &event, &error, &major, &minor));
    }

    void heldKeysMakeOneCombination_data()
    {
        QTest::addColumn<QVector<quint32>>("keysyms");
        QTest::addColumn<Shortcut>("held");
        QTest::newRow("nothing") << QVector<quint32>() << Shortcut();
        QTest::newRow("ctrl alt m") << QVector<quint32>{XK_Control_L, XK_Alt_L, XK_m}
                                    << Shortcut(kCtrl | Qt::AltModifier, Qt::Key_M);
        // The ends of the letters and digits.
        QTest::newRow("ctrl alt a") << QVector<quint32>{XK_Control_L, XK_Alt_L, XK_a}
                                    << Shortcut(kCtrl | Qt::AltModifier, Qt::Key_A);
        QTest::newRow("ctrl 9") << QVector<quint32>{XK_Control_L, XK_9} << Shortcut(kCtrl, Qt::Key_9);
        // The digit under Shift, not the symbol Shift makes of it.
        QTest::newRow("ctrl shift 5") << QVector<quint32>{XK_Control_R, XK_Shift_L, XK_5}
                                      << Shortcut(kCtrl | Qt::ShiftModifier, Qt::Key_5);
        QTest::newRow("modifiers only") << QVector<quint32>{XK_Alt_L, XK_Shift_R}
                                        << Shortcut(Qt::AltModifier | Qt::ShiftModifier, Qt::Key_Escape);
        QTest::newRow("two letters") << QVector<quint32>{XK_Control_L, XK_m, XK_n}
                                     << Shortcut(kCtrl, Qt::Key_Escape);
        QTest::newRow("super adds nothing")
            << QVector<quint32>{XK_Super_L, XK_k} << Shortcut(Qt::NoModifier, Qt::Key_K);
        QTest::newRow("function key")
            << QVector<quint32>{XK_Control_L, XK_F5} << Shortcut(kCtrl, Qt::Key_Escape);
    }

    void heldKeysMakeOneCombination()
    {
        QFETCH(QVector<quint32>, keysyms);
        const HeldKeys held(keysyms);
        QTEST(utils::shortcuts::heldCombination(QX11Info::display()), "held");
    }

    void baseKeyIsTheUnshiftedDigitOrLetter()
    {
        const QList<QPair<quint32, int>> keys = {
            {XK_a, Qt::Key_A}, {XK_z, Qt::Key_Z}, {XK_5, Qt::Key_5}, {XK_F1, 0}, {XK_Control_L, 0}};
        for (const auto& [keysym, key] : keys) {
            QCOMPARE(KeyboardPoller::baseKeyOfScanCode(keycodeOf(keysym)), key);
            QCOMPARE(utils::shortcuts::baseKeyOfKeycode(nullptr, keycodeOf(keysym)), 0);
        }
    }

    void pollerReportsEachChangeWhileStarted()
    {
        KeyboardPoller poller;
        poller.setInterval(5);
        QSignalSpy held(&poller, &KeyboardPoller::held);
        {
            const HeldKeys ctrl({XK_Control_L});
            poller.start(); // already held when listening starts: no news
            const HeldKeys m({XK_m});
            QTRY_COMPARE(held.count(), 1);
            QCOMPARE(held.first().first().value<Shortcut>(), Shortcut(kCtrl, Qt::Key_M));
        }
        QTRY_COMPARE(held.count(), 2);
        QCOMPARE(held.last().first().value<Shortcut>(), Shortcut());
        poller.stop();
        QVERIFY(!poller.isActive());
    }
};

ZQ_TEST_MAIN(TestKeyboardPoll)
#include "test_keyboard_poll.moc"
