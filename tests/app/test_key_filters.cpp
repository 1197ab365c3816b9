#include "app/Hotkeys.h"
#include "app/NavigateEventFilter.h"
#include "core/settings.h"
#include "core/userState.h"
#include "core/x11/ShortcutsEventFilterLin.h"

#include "support/TestMain.h"

#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QX11Info>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
// Xlib's macros clash with Qt's names.
#undef Status
#undef KeyPress
#undef KeyRelease

using utils::shortcuts::Shortcut;

namespace {

const Qt::KeyboardModifiers kCtrlAlt = Qt::ControlModifier | Qt::AltModifier;

bool s_otherClientRefused = false;

int recordRefusal(Display*, XErrorEvent* error)
{
    s_otherClientRefused = s_otherClientRefused || error->error_code == BadAccess;
    return 0;
}

// Counts the presses of other keys than modifiers that a widget receives.
class KeyCounter : public QObject
{
public:
    int presses = 0;
    int lastKey = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Control && key != Qt::Key_Alt && key != Qt::Key_Shift && key != Qt::Key_Meta) {
            ++presses;
            lastKey = key;
        }
        return false;
    }
};

} // namespace

// The two native key filters on a real X server: keys are typed by another X client through XTest, and
// that client also tells which combinations this one holds by trying to grab them itself.
class TestKeyFilters : public QObject
{
    Q_OBJECT

    Display* m_other = nullptr;
    std::unique_ptr<ShortcutsEventFilterLin> m_hotkeys;
    std::unique_ptr<NavigateEventFilter> m_navigation;
    QStringList m_signals;

    quint8 keycode(KeySym keysym) const { return quint8(XKeysymToKeycode(m_other, keysym)); }

    void type(const QList<KeySym>& modifiers, KeySym key)
    {
        for (KeySym modifier : modifiers)
            XTestFakeKeyEvent(m_other, keycode(modifier), True, CurrentTime);
        XTestFakeKeyEvent(m_other, keycode(key), True, CurrentTime);
        XTestFakeKeyEvent(m_other, keycode(key), False, CurrentTime);
        for (KeySym modifier : modifiers)
            XTestFakeKeyEvent(m_other, keycode(modifier), False, CurrentTime);
        XSync(m_other, False);
    }

    // Typing a marker key to a widget of ours shows that every event sent before it has been handled.
    void typeAndSettle(const QList<KeySym>& modifiers, KeySym key, QWidget& target, KeyCounter& counter)
    {
        type(modifiers, key);
        const int before = counter.presses;
        type({}, XK_F12);
        QTRY_VERIFY(counter.presses > before && counter.lastKey == Qt::Key_F12);
        Q_UNUSED(target);
    }

    void setLocks(unsigned locks)
    {
        XkbLockModifiers(m_other, XkbUseCoreKbd, Mod2Mask | LockMask, locks);
        XSync(m_other, False);
    }

    // Whether this process holds the combination: another client's grab of it is then refused.
    bool held(KeySym key, unsigned modifiers)
    {
        s_otherClientRefused = false;
        const XErrorHandler previous = XSetErrorHandler(recordRefusal);
        const Window root = DefaultRootWindow(m_other);
        XGrabKey(m_other, keycode(key), modifiers, root, True, GrabModeAsync, GrabModeAsync);
        XSync(m_other, False);
        const bool refused = s_otherClientRefused;
        XUngrabKey(m_other, keycode(key), modifiers, root);
        XSync(m_other, False);
        XSetErrorHandler(previous);
        return refused;
    }
    bool heldWithAnyLock(KeySym key, unsigned modifiers)
    {
        for (unsigned locks : {0u, unsigned(Mod2Mask), unsigned(LockMask), unsigned(Mod2Mask | LockMask)})
            if (held(key, modifiers | locks))
                return true;
        return false;
    }

    // A focused window of ours, to receive what the filters let pass.
    struct Target
    {
        QWidget widget;
        QLineEdit* field = new QLineEdit(&widget);
        QPushButton* button = new QPushButton(QStringLiteral("x"), &widget);
        KeyCounter counter;
    };
    std::unique_ptr<Target> showWindow(const QString& title, QWidget* focus = nullptr)
    {
        auto window = std::make_unique<Target>();
        auto* layout = new QVBoxLayout(&window->widget);
        layout->addWidget(window->field);
        layout->addWidget(window->button);
        window->widget.setWindowTitle(title);
        window->field->installEventFilter(&window->counter);
        window->button->installEventFilter(&window->counter);
        window->widget.show();
        [&] { QVERIFY(QTest::qWaitForWindowExposed(&window->widget)); }();
        XSetInputFocus(m_other, window->widget.winId(), RevertToParent, CurrentTime);
        XSync(m_other, False);
        [&] { QTRY_COMPARE(QApplication::activeWindow(), &window->widget); }();
        (focus ? focus : window->button)->setFocus();
        return window;
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

    void cleanupTestCase()
    {
        if (m_other)
            XCloseDisplay(m_other);
    }

    void init()
    {
        zq::test::clearSettings();
        setLocks(0);
        m_signals.clear();
        m_hotkeys = std::make_unique<ShortcutsEventFilterLin>();
        qApp->installNativeEventFilter(m_hotkeys.get());
        const std::pair<const char*, void (ShortcutsEventFilter::*)()> hotkeySignals[] = {
            {"latex", &ShortcutsEventFilter::LatexActivated},
            {"reload", &ShortcutsEventFilter::ReloadActivated},
            {"markdownEdit", &ShortcutsEventFilter::MarkdownEditActivated},
            {"latexEdit", &ShortcutsEventFilter::LatexEditActivated}};
        for (const auto& [name, signal] : hotkeySignals)
            connect(m_hotkeys.get(), signal, this, [this, name = name] { m_signals << name; });
        m_navigation = std::make_unique<NavigateEventFilter>();
        qApp->installNativeEventFilter(m_navigation.get());
        const std::pair<const char*, void (NavigateEventFilter::*)()> navigationSignals[] = {
            {"PrevQelt", &NavigateEventFilter::PrevQelt},    {"NextQelt", &NavigateEventFilter::NextQelt},
            {"FirstQelt", &NavigateEventFilter::FirstQelt},  {"LastQelt", &NavigateEventFilter::LastQelt},
            {"PrevRow", &NavigateEventFilter::PrevRow},      {"PrevTab", &NavigateEventFilter::PrevTab},
            {"NextRow", &NavigateEventFilter::NextRow},      {"NextTab", &NavigateEventFilter::NextTab},
            {"DeleteQelt", &NavigateEventFilter::DeleteQelt}};
        for (const auto& [name, signal] : navigationSignals)
            connect(m_navigation.get(), signal, this, [this, name = name] { m_signals << name; });
    }

    void cleanup()
    {
        // The filter keeps its grabs when it goes; setting "none" releases them.
        for (auto set :
             {&ShortcutsEventFilterLin::setLatexShortcut, &ShortcutsEventFilterLin::setReloadShortcut,
              &ShortcutsEventFilterLin::setMarkdownEditShortcut,
              &ShortcutsEventFilterLin::setLatexEditShortcut})
            (m_hotkeys.get()->*set)(Shortcut());
        qApp->removeNativeEventFilter(m_hotkeys.get());
        qApp->removeNativeEventFilter(m_navigation.get());
        m_hotkeys.reset();
        m_navigation.reset();
        setLocks(0);
    }

    void hotkeyPressesArriveAsSignals_data()
    {
        QTest::addColumn<QString>("hotkey");
        QTest::addColumn<unsigned>("locks");
        QTest::addColumn<bool>("extraShift");
        QTest::addColumn<bool>("fires");
        QTest::newRow("capture") << "latex" << 0u << false << true;
        QTest::newRow("NumLock on") << "latex" << unsigned(Mod2Mask) << false << true;
        QTest::newRow("CapsLock on") << "latex" << unsigned(LockMask) << false << true;
        QTest::newRow("both locks on") << "latex" << unsigned(Mod2Mask | LockMask) << false << true;
        QTest::newRow("open window, NumLock on") << "reload" << unsigned(Mod2Mask) << false << true;
        QTest::newRow("Markdown editor alone") << "markdownEdit" << 0u << false << true;
        QTest::newRow("LaTeX editor, CapsLock on") << "latexEdit" << unsigned(LockMask) << false << true;
        QTest::newRow("extra Shift passes") << "latex" << 0u << true << false;
        QTest::newRow("extra Shift with NumLock passes") << "reload" << unsigned(Mod2Mask) << true << false;
    }
    void hotkeyPressesArriveAsSignals()
    {
        QFETCH(QString, hotkey);
        QFETCH(unsigned, locks);
        QFETCH(bool, extraShift);
        QFETCH(bool, fires);
        const Shortcut ctrlAltJ(kCtrlAlt, Qt::Key_J);
        const QMap<QString, bool (ShortcutsEventFilterLin::*)(const Shortcut&)> setters{
            {"latex", &ShortcutsEventFilterLin::setLatexShortcut},
            {"reload", &ShortcutsEventFilterLin::setReloadShortcut},
            {"markdownEdit", &ShortcutsEventFilterLin::setMarkdownEditShortcut},
            {"latexEdit", &ShortcutsEventFilterLin::setLatexEditShortcut}};
        QVERIFY((m_hotkeys.get()->*setters.value(hotkey))(ctrlAltJ));
        auto window = showWindow(QStringLiteral("elsewhere"), nullptr);
        setLocks(locks);
        QList<KeySym> modifiers{XK_Control_L, XK_Alt_L};
        if (extraShift)
            modifiers << XK_Shift_L;
        for (int i = 0; i < 2; ++i)
            typeAndSettle(modifiers, XK_j, window->widget, window->counter);
        // Each press counts once, its release not at all; what does not match reaches the focused widget.
        QCOMPARE(m_signals, fires ? QStringList({hotkey, hotkey}) : QStringList());
        QCOMPARE(window->counter.presses, fires ? 2 : 4);
    }

    void pauseLetsPressesPassUntilAHotkeyIsSet()
    {
        QVERIFY(m_hotkeys->setLatexShortcut(Shortcut(kCtrlAlt, Qt::Key_J)));
        auto window = showWindow(QStringLiteral("elsewhere"));
        m_hotkeys->pauseShortcuts();
        typeAndSettle({XK_Control_L, XK_Alt_L}, XK_j, window->widget, window->counter);
        QVERIFY(m_signals.isEmpty());
        // Any one set resumes all four.
        QVERIFY(m_hotkeys->setMarkdownEditShortcut(Shortcut(kCtrlAlt, Qt::Key_N)));
        typeAndSettle({XK_Control_L, XK_Alt_L}, XK_j, window->widget, window->counter);
        QCOMPARE(m_signals, QStringList{"latex"});
    }

    void changedHotkeyReleasesTheOldGrab_data()
    {
        QTest::addColumn<QVariant>("stored"); // the new value as the settings hold it
        QTest::addColumn<bool>("grabbed");
        QTest::addColumn<int>("heldKey"); // what this client holds afterwards, with its X modifiers
        QTest::addColumn<unsigned>("heldModifiers");
        const auto stored = [](const Shortcut& shortcut) { return QVariant::fromValue(shortcut); };
        QTest::newRow("another combination")
            << stored(Shortcut(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_7)) << true << int(XK_7)
            << unsigned(ControlMask | ShiftMask);
        QTest::newRow("a key without modifiers")
            << stored(Shortcut(Qt::NoModifier, Qt::Key_K)) << false << 0 << 0u;
        QTest::newRow("Meta alone adds no X modifier")
            << stored(Shortcut(Qt::MetaModifier, Qt::Key_K)) << false << 0 << 0u;
        QTest::newRow("none") << stored(Shortcut()) << false << 0 << 0u;
        QTest::newRow("a key with no X form") << stored(Shortcut(kCtrlAlt, Qt::Key_F1)) << false << 0 << 0u;
        QTest::newRow("an unreadable stored value")
            << QVariant(QStringLiteral("Ctrl+Alt+M")) << false << 0 << 0u;
    }
    void changedHotkeyReleasesTheOldGrab()
    {
        QFETCH(QVariant, stored);
        QFETCH(bool, grabbed);
        QFETCH(int, heldKey);
        QFETCH(unsigned, heldModifiers);
        QVERIFY(m_hotkeys->setLatexShortcut(utils::shortcutLatex())); // the default, Ctrl+Alt+M
        QVERIFY(held(XK_m, ControlMask | Mod1Mask | Mod2Mask));
        kKeyShortcutLatex.set(stored);
        const bool result = m_hotkeys->setLatexShortcut(utils::shortcutLatex());
        QCOMPARE(result, grabbed);
        QVERIFY(!heldWithAnyLock(XK_m, ControlMask | Mod1Mask));
        // Nothing that would take keys from other programs: no bare key, and never A in place of a bad key.
        for (KeySym key : {XK_k, XK_a, XK_m})
            QVERIFY(!heldWithAnyLock(key, 0) && !heldWithAnyLock(key, ControlMask | Mod1Mask));
        if (heldKey)
            QVERIFY(held(KeySym(heldKey), heldModifiers) && held(KeySym(heldKey), heldModifiers | LockMask));
    }

    void hotkeysFollowTheirSettings_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("text"); // empty: nothing held
        QTest::addColumn<int>("key");
        const QVariant none;
        QTest::newRow("capture, default") << "latex" << true << none << "CTRL+ALT+M" << int(XK_m);
        QTest::newRow("open window, default") << "open" << true << none << "CTRL+ALT+O" << int(XK_o);
        QTest::newRow("LaTeX editor, default") << "latexedit" << true << none << "CTRL+ALT+K" << int(XK_k);
        QTest::newRow("Markdown editor, stored")
            << "markdownedit" << true
            << QVariant::fromValue(Shortcut(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_7))
            << "CTRL+SHIFT+7" << int(XK_7);
        QTest::newRow("capture, disabled") << "latex" << false << none << "" << 0;
        QTest::newRow("open window, unreadable")
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
        const QMap<QString, Hotkey> byName{
            {"latex", {&kKeyShortcutLatex, &Hotkeys::updateLatex, XK_m}},
            {"open", {&kKeyShortcutReload, &Hotkeys::updateReload, XK_o}},
            {"latexedit", {&kKeyShortcutLatexEdit, &Hotkeys::updateLatexEdit, XK_k}},
            {"markdownedit", {&kKeyShortcutMarkdownEdit, &Hotkeys::updateMarkdownEdit, XK_n}}};
        const auto [setting, update, defaultKey] = byName.value(name);
        Hotkeys hotkeys(nullptr);
        QVERIFY(!(hotkeys.*update)().isEmpty()); // the default first: a change must let it go
        utils::setShortcutEnabled(name, enabled);
        if (stored.isValid())
            setting->set(stored);
        QCOMPARE((hotkeys.*update)(), text);
        QVERIFY(!heldWithAnyLock(defaultKey, ControlMask | Mod1Mask) || KeySym(key) == defaultKey);
        if (key)
            QVERIFY(
                held(KeySym(key), text.contains("SHIFT") ? ControlMask | ShiftMask : ControlMask | Mod1Mask));
        // Released again, for the cases after this one.
        for (auto set :
             {&ShortcutsEventFilter::setLatexShortcut, &ShortcutsEventFilter::setReloadShortcut,
              &ShortcutsEventFilter::setMarkdownEditShortcut, &ShortcutsEventFilter::setLatexEditShortcut})
            (hotkeys.filter()->*set)(Shortcut());
    }

    void grabHeldByAnotherClientFails()
    {
        const Window root = DefaultRootWindow(m_other);
        XGrabKey(m_other, keycode(XK_j), ControlMask | Mod1Mask, root, True, GrabModeAsync, GrabModeAsync);
        XSync(m_other, False);
        QVERIFY(!m_hotkeys->setLatexShortcut(Shortcut(kCtrlAlt, Qt::Key_J)));
        XUngrabKey(m_other, keycode(XK_j), ControlMask | Mod1Mask, root);
        XSync(m_other, False);
        // Half a hotkey is worse than none: the lock variants it got are given back.
        QVERIFY(!heldWithAnyLock(XK_j, ControlMask | Mod1Mask));
        QVERIFY(m_hotkeys->setLatexShortcut(Shortcut(kCtrlAlt, Qt::Key_J)));
    }

    void navigationKeys_data()
    {
        QTest::addColumn<QList<KeySym>>("modifiers");
        QTest::addColumn<KeySym>("key");
        QTest::addColumn<QString>("signal");
        const QList<KeySym> none;
        QTest::newRow("Right") << none << KeySym(XK_Right) << "NextQelt";
        QTest::newRow("Ctrl+Right") << QList<KeySym>{XK_Control_L} << KeySym(XK_Right) << "LastQelt";
        QTest::newRow("Shift+Right") << QList<KeySym>{XK_Shift_L} << KeySym(XK_Right) << "LastQelt";
        QTest::newRow("Ctrl+Shift+Right")
            << QList<KeySym>{XK_Control_L, XK_Shift_L} << KeySym(XK_Right) << "LastQelt";
        QTest::newRow("Alt+Right") << QList<KeySym>{XK_Alt_L} << KeySym(XK_Right) << "NextQelt";
        QTest::newRow("Left") << none << KeySym(XK_Left) << "PrevQelt";
        QTest::newRow("Ctrl+Left") << QList<KeySym>{XK_Control_L} << KeySym(XK_Left) << "FirstQelt";
        QTest::newRow("Up") << none << KeySym(XK_Up) << "PrevRow";
        QTest::newRow("Shift+Up") << QList<KeySym>{XK_Shift_L} << KeySym(XK_Up) << "PrevTab";
        QTest::newRow("Down") << none << KeySym(XK_Down) << "NextRow";
        QTest::newRow("Ctrl+Down") << QList<KeySym>{XK_Control_L} << KeySym(XK_Down) << "NextTab";
        QTest::newRow("Alt+Delete") << QList<KeySym>{XK_Alt_L} << KeySym(XK_Delete) << "DeleteQelt";
        QTest::newRow("keypad Delete") << none << KeySym(XK_KP_Delete) << "DeleteQelt";
        QTest::newRow("another key") << none << KeySym(XK_Home) << "";
    }
    void navigationKeys()
    {
        QFETCH(QList<KeySym>, modifiers);
        QFETCH(KeySym, key);
        QFETCH(QString, signal);
        auto window = showWindow(QApplication::applicationName() + QStringLiteral(" - Qelt View"));
        typeAndSettle(modifiers, key, window->widget, window->counter);
        QCOMPARE(m_signals, signal.isEmpty() ? QStringList() : QStringList{signal});
        // A navigation key is consumed; any other reaches the widget with the focus.
        QCOMPARE(window->counter.presses, signal.isEmpty() ? 2 : 1);
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
            window->field->setCursorPosition(2);
        }
        for (KeySym key : {XK_Left, XK_Right, XK_Left, XK_Delete})
            typeAndSettle({}, key, window->widget, window->counter);
        QVERIFY(m_signals.isEmpty());
        QCOMPARE(window->counter.presses, 8);
        if (inQuestionField)
            QCOMPARE(window->field->text(), QStringLiteral("a"));
        // Leaving the field brings the keys back to the view.
        window->button->setFocus();
        if (inQuestionField) {
            typeAndSettle({}, XK_Right, window->widget, window->counter);
            QCOMPARE(m_signals, QStringList{"NextQelt"});
        }
    }
};

ZQ_TEST_MAIN(TestKeyFilters)
#include "test_key_filters.moc"
