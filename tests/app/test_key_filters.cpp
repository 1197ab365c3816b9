#include "app/Hotkeys.h"
#include "app/NavigateEventFilter.h"
#include "core/settings.h"
#include "core/userState.h"
#include "core/x11/ShortcutsEventFilter.h"

#include "support/PrivateDisplay.h"
#include "support/TestMain.h"

#include <QAbstractNativeEventFilter>
#include <QLineEdit>
#include <QMetaMethod>
#include <QPushButton>
#include <QVBoxLayout>
#include <QX11Info>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>
// Xlib's macros clash with Qt's names.
#undef Status
#undef KeyPress
#undef KeyRelease

using utils::shortcuts::Shortcut;

namespace {

const unsigned kCtrlAlt = ControlMask | Mod1Mask;
const unsigned kLocks[] = {0, Mod2Mask, LockMask, Mod2Mask | LockMask};
bool s_otherClientRefused = false;

int recordRefusal(Display*, XErrorEvent* error)
{
    s_otherClientRefused = s_otherClientRefused || error->error_code == BadAccess;
    return 0;
}

// A focused window of ours that counts the presses of other keys than modifiers it receives.
class Target : public QWidget
{
public:
    QLineEdit* field = new QLineEdit(this);
    QPushButton* button = new QPushButton(QStringLiteral("x"), this);
    int presses = 0;
    int lastKey = 0;

    Target()
    {
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(field);
        layout->addWidget(button);
        field->installEventFilter(this);
        button->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        const int key = event->type() == QEvent::KeyPress ? static_cast<QKeyEvent*>(event)->key() : 0;
        if (key && key != Qt::Key_Control && key != Qt::Key_Alt && key != Qt::Key_Shift) {
            ++presses;
            lastKey = key;
        }
        return false;
    }
};

// Counts the raw presses of one key before the application's filters see them, and lets them pass.
class RawPresses : public QAbstractNativeEventFilter
{
public:
    explicit RawPresses(quint8 keycode) : m_keycode(keycode) { qApp->installNativeEventFilter(this); }
    ~RawPresses() override { qApp->removeNativeEventFilter(this); }
    bool nativeEventFilter(const QByteArray&, void* message, long*) override
    {
        const auto* press = static_cast<xcb_key_press_event_t*>(message);
        count += (press->response_type & ~0x80) == XCB_KEY_PRESS && press->detail == m_keycode;
        return false;
    }
    int count = 0;

private:
    quint8 m_keycode;
};

} // namespace

// The two native key filters on a real X server: keys are typed by another X client through XTest, and
// that client also tells which combinations this one holds by trying to grab them itself.
class TestKeyFilters : public QObject
{
    Q_OBJECT

    Display* m_other = nullptr;
    std::unique_ptr<Hotkeys> m_hotkeys;
    std::unique_ptr<NavigateEventFilter> m_navigation;
    QStringList m_signals;

    quint8 keycode(KeySym keysym) const { return quint8(XKeysymToKeycode(m_other, keysym)); }

    // Types the keys, then a marker key: once the marker has reached the window, so has all before it.
    void type(const QList<KeySym>& modifiers, KeySym key, Target& target)
    {
        for (KeySym down : modifiers + QList<KeySym>{key})
            XTestFakeKeyEvent(m_other, keycode(down), True, CurrentTime);
        for (KeySym up : QList<KeySym>{key} + modifiers)
            XTestFakeKeyEvent(m_other, keycode(up), False, CurrentTime);
        const int before = target.presses;
        XTestFakeKeyEvent(m_other, keycode(XK_F12), True, CurrentTime);
        XTestFakeKeyEvent(m_other, keycode(XK_F12), False, CurrentTime);
        XSync(m_other, False);
        QTRY_VERIFY(target.presses > before && target.lastKey == Qt::Key_F12);
    }

    void setLocks(unsigned locks)
    {
        XkbLockModifiers(m_other, XkbUseCoreKbd, Mod2Mask | LockMask, locks);
        XSync(m_other, False);
    }

    // Whether this process holds the combination with any lock state: another client's grab is refused.
    bool held(KeySym key, unsigned modifiers)
    {
        s_otherClientRefused = false;
        const XErrorHandler previous = XSetErrorHandler(recordRefusal);
        const Window root = DefaultRootWindow(m_other);
        for (unsigned locks : kLocks) {
            XGrabKey(m_other, keycode(key), modifiers | locks, root, True, GrabModeAsync, GrabModeAsync);
            XSync(m_other, False);
            XUngrabKey(m_other, keycode(key), modifiers | locks, root);
        }
        XSync(m_other, False);
        XSetErrorHandler(previous);
        return s_otherClientRefused;
    }

    std::unique_ptr<Target> showWindow(const QString& title)
    {
        auto window = std::make_unique<Target>();
        window->setWindowTitle(title);
        window->show();
        [&] { QVERIFY(QTest::qWaitForWindowExposed(window.get(), zq::test::kWaitMs)); }();
        XSetInputFocus(m_other, window->winId(), RevertToParent, CurrentTime);
        XSync(m_other, False);
        [&] { QTRY_COMPARE(QApplication::activeWindow(), window.get()); }();
        window->button->setFocus();
        return window;
    }

    void recordSignalsOf(QObject* filter)
    {
        const QMetaObject* meta = filter->metaObject();
        for (int i = QObject::staticMetaObject.methodCount(); i < meta->methodCount(); ++i)
            if (meta->method(i).methodType() == QMetaMethod::Signal)
                connect(filter, meta->method(i), this,
                        metaObject()->method(metaObject()->indexOfSlot("record()")));
    }

public slots:
    void record()
    {
        m_signals << QString::fromLatin1(sender()->metaObject()->method(senderSignalIndex()).name());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(QX11Info::isPlatformX11());
        m_other = XOpenDisplay(nullptr);
        QVERIFY(m_other);
        int event = 0, error = 0, major = 0, minor = 0;
        QVERIFY(XTestQueryExtension(m_other, &event, &error, &major, &minor));
    }

    void cleanupTestCase() { XCloseDisplay(m_other); }

    void init()
    {
        zq::test::clearSettings();
        setLocks(0);
        m_signals.clear();
        m_hotkeys = std::make_unique<Hotkeys>(nullptr);
        recordSignalsOf(m_hotkeys->filter());
        m_navigation = std::make_unique<NavigateEventFilter>();
        qApp->installNativeEventFilter(m_navigation.get());
        recordSignalsOf(m_navigation.get());
    }

    void cleanup()
    {
        // The filter keeps its grabs when it goes; disabled hotkeys are released.
        for (const char* name : {"latex", "open", "latexedit", "markdownedit"})
            utils::setShortcutEnabled(QString::fromLatin1(name), false);
        m_hotkeys->updateLatex(), m_hotkeys->updateReload(), m_hotkeys->updateLatexEdit(),
            m_hotkeys->updateMarkdownEdit();
        m_hotkeys.reset();
        m_navigation.reset();
        setLocks(0);
    }

    void hotkeyPressesArriveAsSignals_data()
    {
        QTest::addColumn<QString>("signal");
        QTest::addColumn<unsigned>("locks");
        QTest::addColumn<bool>("extraShift");
        QTest::newRow("capture") << "LatexActivated" << 0u << false;
        QTest::newRow("NumLock on") << "LatexActivated" << unsigned(Mod2Mask) << false;
        QTest::newRow("CapsLock on") << "LatexActivated" << unsigned(LockMask) << false;
        QTest::newRow("open window, both locks on")
            << "ReloadActivated" << unsigned(Mod2Mask | LockMask) << false;
        QTest::newRow("Markdown editor alone") << "MarkdownEditActivated" << 0u << false;
        QTest::newRow("LaTeX editor, CapsLock on") << "LatexEditActivated" << unsigned(LockMask) << false;
        QTest::newRow("extra Shift passes") << "" << 0u << true;
        QTest::newRow("extra Shift with NumLock passes") << "" << unsigned(Mod2Mask) << true;
    }
    void hotkeyPressesArriveAsSignals()
    {
        QFETCH(QString, signal);
        QFETCH(unsigned, locks);
        QFETCH(bool, extraShift);
        const QMap<QString, std::pair<const SettingKey<QVariant>*, QString (Hotkeys::*)()>> hotkeys{
            {"LatexActivated", {&kKeyShortcutLatex, &Hotkeys::updateLatex}},
            {"ReloadActivated", {&kKeyShortcutReload, &Hotkeys::updateReload}},
            {"MarkdownEditActivated", {&kKeyShortcutMarkdownEdit, &Hotkeys::updateMarkdownEdit}},
            {"LatexEditActivated", {&kKeyShortcutLatexEdit, &Hotkeys::updateLatexEdit}},
            {"", {&kKeyShortcutLatex, &Hotkeys::updateLatex}}};
        const auto [setting, update] = hotkeys.value(signal);
        setting->set(QVariant::fromValue(Shortcut(Qt::ControlModifier | Qt::AltModifier, Qt::Key_J)));
        QCOMPARE((m_hotkeys.get()->*update)(), QStringLiteral("CTRL+ALT+J"));
        auto window = showWindow(QStringLiteral("elsewhere"));
        setLocks(locks);
        const QList<KeySym> modifiers = extraShift ? QList<KeySym>{XK_Control_L, XK_Alt_L, XK_Shift_L}
                                                   : QList<KeySym>{XK_Control_L, XK_Alt_L};
        type(modifiers, XK_j, *window);
        type(modifiers, XK_j, *window);
        // Each press counts once, its release not at all; what does not match reaches the focused widget.
        QCOMPARE(m_signals, signal.isEmpty() ? QStringList() : QStringList({signal, signal}));
        QCOMPARE(window->presses, signal.isEmpty() ? 4 : 2);
    }

    // A held hotkey acts once, however the server repeats it for this connection; the repeats are
    // swallowed too, as they would cancel a capture's overlay.
    void heldHotkeyActsOnce_data()
    {
        QTest::addColumn<bool>("detectable");
        QTest::newRow("repeats as releases and presses") << false;
        QTest::newRow("repeats as presses alone") << true;
    }
    void heldHotkeyActsOnce()
    {
        QFETCH(bool, detectable);
        // Asked by the filter when it grabs.
        XkbSetDetectableAutoRepeat(QX11Info::display(), detectable, nullptr);
        const auto restore =
            qScopeGuard([] { XkbSetDetectableAutoRepeat(QX11Info::display(), False, nullptr); });
        QVERIFY(!m_hotkeys->updateLatex().isEmpty());
        auto window = showWindow(QStringLiteral("elsewhere"));
        RawPresses presses(keycode(XK_m));
        const QList<KeySym> keys{XK_Control_L, XK_Alt_L, XK_m};
        for (KeySym key : keys)
            XTestFakeKeyEvent(m_other, keycode(key), True, CurrentTime);
        XSync(m_other, False);
        QTRY_VERIFY(presses.count >= 4);
        for (auto key = keys.rbegin(); key != keys.rend(); ++key)
            XTestFakeKeyEvent(m_other, keycode(*key), False, CurrentTime);
        type({}, XK_F11, *window);
        QCOMPARE(m_signals, QStringList{"LatexActivated"});
        QCOMPARE(window->presses, 2); // F11 and the marker
        // Released, it acts again.
        type({XK_Control_L, XK_Alt_L}, XK_m, *window);
        QCOMPARE(m_signals, (QStringList{"LatexActivated", "LatexActivated"}));
    }

    void pauseLetsPressesPassUntilAHotkeyIsSet()
    {
        QVERIFY(!m_hotkeys->updateLatex().isEmpty());
        auto window = showWindow(QStringLiteral("elsewhere"));
        m_hotkeys->pause();
        type({XK_Control_L, XK_Alt_L}, XK_m, *window);
        QVERIFY(m_signals.isEmpty());
        // Any one set resumes all four.
        QVERIFY(!m_hotkeys->updateMarkdownEdit().isEmpty());
        type({XK_Control_L, XK_Alt_L}, XK_m, *window);
        QCOMPARE(m_signals, QStringList{"LatexActivated"});
    }

    void hotkeysFollowTheirSettings_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("text"); // empty: nothing held
        QTest::addColumn<int>("key");
        const auto stored = [](Qt::KeyboardModifiers modifiers, int key) {
            return QVariant::fromValue(Shortcut(modifiers, key));
        };
        const QVariant none;
        const Qt::KeyboardModifiers ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;
        QTest::newRow("open window, default") << "open" << true << none << "CTRL+ALT+O" << int(XK_o);
        QTest::newRow("LaTeX editor, default") << "latexedit" << true << none << "CTRL+ALT+K" << int(XK_k);
        QTest::newRow("Markdown editor, another combination")
            << "markdownedit" << true << stored(ctrlShift, Qt::Key_7) << "CTRL+SHIFT+7" << int(XK_7);
        QTest::newRow("capture, disabled") << "latex" << false << none << "" << 0;
        QTest::newRow("a key without modifiers") << "latex" << true << stored({}, Qt::Key_K) << "" << 0;
        QTest::newRow("Meta adds no X modifier")
            << "latex" << true << stored(Qt::MetaModifier, Qt::Key_K) << "" << 0;
        QTest::newRow("none") << "latex" << true << QVariant::fromValue(Shortcut()) << "" << 0;
        QTest::newRow("a key with no X form")
            << "latex" << true << stored(Qt::ControlModifier, Qt::Key_F1) << "" << 0;
        QTest::newRow("an unreadable stored value")
            << "open" << true << QVariant(QStringLiteral("x")) << "" << 0;
    }
    void hotkeysFollowTheirSettings()
    {
        QFETCH(QString, name);
        QFETCH(bool, enabled);
        QFETCH(QVariant, stored);
        QFETCH(QString, text);
        QFETCH(int, key);
        struct Hotkey
        {
            const SettingKey<QVariant>* setting;
            QString (Hotkeys::*update)();
            KeySym defaultKey;
        };
        const QMap<QString, Hotkey> hotkeys{
            {"latex", {&kKeyShortcutLatex, &Hotkeys::updateLatex, XK_m}},
            {"open", {&kKeyShortcutReload, &Hotkeys::updateReload, XK_o}},
            {"latexedit", {&kKeyShortcutLatexEdit, &Hotkeys::updateLatexEdit, XK_k}},
            {"markdownedit", {&kKeyShortcutMarkdownEdit, &Hotkeys::updateMarkdownEdit, XK_n}}};
        const auto [setting, update, defaultKey] = hotkeys.value(name);
        QVERIFY(!(m_hotkeys.get()->*update)().isEmpty()); // the default first: a change must let it go
        utils::setShortcutEnabled(name, enabled);
        if (stored.isValid())
            setting->set(stored);
        QCOMPARE((m_hotkeys.get()->*update)(), text);
        QCOMPARE(held(defaultKey, kCtrlAlt), KeySym(key) == defaultKey);
        // Nothing that would take keys from other programs: no bare key, and never A in place of a bad key.
        for (KeySym bare : {XK_k, XK_a})
            QVERIFY(!held(bare, 0) && (!held(bare, kCtrlAlt) || KeySym(key) == bare));
        if (key)
            QVERIFY(held(KeySym(key), text.contains("SHIFT") ? ControlMask | ShiftMask : kCtrlAlt));
    }

    void grabHeldByAnotherClientFails()
    {
        const Window root = DefaultRootWindow(m_other);
        XGrabKey(m_other, keycode(XK_m), kCtrlAlt, root, True, GrabModeAsync, GrabModeAsync);
        XSync(m_other, False);
        QCOMPARE(m_hotkeys->updateLatex(), QString());
        XUngrabKey(m_other, keycode(XK_m), kCtrlAlt, root);
        XSync(m_other, False);
        // Half a hotkey is worse than none: the lock variants it got are given back.
        QVERIFY(!held(XK_m, kCtrlAlt));
        QCOMPARE(m_hotkeys->updateLatex(), QStringLiteral("CTRL+ALT+M"));
    }

    void navigationKeys_data()
    {
        QTest::addColumn<QList<KeySym>>("modifiers");
        QTest::addColumn<KeySym>("key");
        QTest::addColumn<QString>("signal");
        const QList<KeySym> none, ctrl{XK_Control_L}, shift{XK_Shift_L}, alt{XK_Alt_L};
        QTest::newRow("Right") << none << KeySym(XK_Right) << "NextQelt";
        QTest::newRow("Ctrl+Right") << ctrl << KeySym(XK_Right) << "LastQelt";
        QTest::newRow("Ctrl+Shift+Right") << ctrl + shift << KeySym(XK_Right) << "LastQelt";
        QTest::newRow("Alt+Right") << alt << KeySym(XK_Right) << "NextQelt";
        QTest::newRow("Shift+Left") << shift << KeySym(XK_Left) << "FirstQelt";
        QTest::newRow("Up") << none << KeySym(XK_Up) << "PrevRow";
        QTest::newRow("Shift+Up") << shift << KeySym(XK_Up) << "PrevTab";
        QTest::newRow("Ctrl+Down") << ctrl << KeySym(XK_Down) << "NextTab";
        QTest::newRow("Alt+Delete") << alt << KeySym(XK_Delete) << "DeleteQelt";
        QTest::newRow("keypad Delete") << none << KeySym(XK_KP_Delete) << "DeleteQelt";
        QTest::newRow("another key") << none << KeySym(XK_Home) << "";
    }
    void navigationKeys()
    {
        QFETCH(QList<KeySym>, modifiers);
        QFETCH(KeySym, key);
        QFETCH(QString, signal);
        auto window = showWindow(QApplication::applicationName() + QStringLiteral(" - Qelt View"));
        type(modifiers, key, *window);
        QCOMPARE(m_signals, signal.isEmpty() ? QStringList() : QStringList{signal});
        // A navigation key is consumed; any other reaches the widget with the focus.
        QCOMPARE(window->presses, signal.isEmpty() ? 2 : 1);
    }

    void navigationStandsAside_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("inQuestionField");
        QTest::newRow("another page") << QApplication::applicationName() << false;
        QTest::newRow("another window") << QStringLiteral("Settings") << false;
        QTest::newRow("typing a chat question")
            << QApplication::applicationName() + QStringLiteral(" - Qelt View") << true;
    }
    void navigationStandsAside()
    {
        QFETCH(QString, title);
        QFETCH(bool, inQuestionField);
        auto window = showWindow(title);
        if (inQuestionField) {
            window->field->setObjectName(QStringLiteral("edit_query"));
            window->field->setFocus();
            window->field->setText(QStringLiteral("ab"));
        }
        for (KeySym key : {XK_Left, XK_Delete})
            type({}, key, *window);
        QVERIFY(m_signals.isEmpty());
        QCOMPARE(window->presses, 4);
        if (inQuestionField) {
            QCOMPARE(window->field->text(), QStringLiteral("a"));
            // Leaving the field brings the keys back to the view.
            window->button->setFocus();
            type({}, XK_Right, *window);
            QCOMPARE(m_signals, QStringList{"NextQelt"});
        }
    }
};

int main(int argc, char* argv[])
{
    zq::test::prepareEnvironment();
    // Keys typed through XTest go to whichever window has the focus, and the hotkeys are grabbed for the
    // whole server: on the run's shared server, the windows of the tests beside this one would take both.
    zq::test::startPrivateDisplay(QSize(1024, 768));
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    zq::test::prepareApplication();
    TestKeyFilters test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "test_key_filters.moc"
