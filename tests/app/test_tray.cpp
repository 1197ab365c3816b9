// The tray on an X server of this test's own with a real tray host (trayer): the menus as the account and
// the updater change, the icon as the desktop's theme changes, and how messages reach the user with and
// without an icon.
#include "app/Tray.h"

#include "support/BoxWatcher.h"
#include "support/PrivateDisplay.h"
#include "support/TestMain.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QSystemTrayIcon>

using Command = Tray::Command;
Q_DECLARE_METATYPE(QList<Tray::Command>)

namespace {

QWidget* balloon()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->inherits("QBalloonTip") && widget->isVisible())
            return widget;
    return nullptr;
}

QStringList balloonTexts()
{
    QStringList texts;
    if (QWidget* tip = balloon())
        for (const QLabel* label : tip->findChildren<QLabel*>())
            if (!label->text().isEmpty())
                texts << label->text();
    return texts;
}

QImage picture(const QIcon& icon)
{
    return icon.pixmap(32).toImage();
}

// The entries of a menu that can be picked, in order.
QList<QAction*> entries(const QMenu* menu)
{
    QList<QAction*> actions;
    for (QAction* action : menu->actions())
        if (!action->isSeparator() && action->isVisible())
            actions << action;
    return actions;
}

} // namespace

class TestTray : public QObject
{
    Q_OBJECT

    std::unique_ptr<zq::test::TrayHost> m_host;
    std::unique_ptr<Tray> m_tray;
    QList<Command> m_commands;

    // The context menu as it pops up: its entries' texts and enabled states; picks the entry `pick`.
    QStringList popUp(const QString& email, int pick = -1)
    {
        QStringList shown;
        QTimer::singleShot(0, this, [&] {
            QTRY_VERIFY(qobject_cast<QMenu*>(QApplication::activePopupWidget()));
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            const QList<QAction*> actions = entries(menu);
            for (QAction* action : actions)
                shown << action->text() + (action->isEnabled() ? "" : " (off)");
            if (pick >= 0 && actions.at(pick)->isEnabled())
                actions.at(pick)->trigger();
            menu->close();
        });
        m_tray->execContextMenu(QPoint(100, 100), email);
        return shown;
    }

private slots:
    void initTestCase()
    {
        m_host = std::make_unique<zq::test::TrayHost>();
        QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 15000);
    }

    void init()
    {
        m_tray = std::make_unique<Tray>();
        m_commands.clear();
        connect(m_tray.get(), &Tray::commanded, this, [this](Command command) { m_commands << command; });
    }

    void cleanup()
    {
        if (QWidget* tip = balloon())
            tip->close();
        m_tray.reset();
        QIcon::setThemeName(QString());
    }

    void entriesFollowTheAccountAndTheHotkeys_data()
    {
        QTest::addColumn<QString>("email");
        QTest::addColumn<QString>("hotkey");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("logout"); // empty: hidden
        QTest::newRow("signed in, hotkey held") << "me@example.org"
                                                << "CTRL+ALT+M"
                                                << "Get LaTeX   CTRL+ALT+M"
                                                << "Logout of me@example.org";
        QTest::newRow("signed in, hotkey not held") << "me@example.org"
                                                    << ""
                                                    << "Get LaTeX"
                                                    << "Logout of me@example.org";
        QTest::newRow("signed out") << ""
                                    << "CTRL+ALT+M"
                                    << "Login   CTRL+ALT+M"
                                    << "";
        QTest::newRow("signed out, hotkey not held") << ""
                                                     << ""
                                                     << "Login"
                                                     << "";
    }
    void entriesFollowTheAccountAndTheHotkeys()
    {
        QFETCH(QString, email);
        QFETCH(QString, hotkey);
        QFETCH(QString, logout);
        // Signed in first, so that signing out must undo it.
        m_tray->showAccount("someone@example.org", "X");
        m_tray->showAccount(email, hotkey);
        QTEST(m_tray->getLatexAction()->text(), "first");
        QCOMPARE(m_tray->logoutAction()->isVisible(), !logout.isEmpty());
        if (!logout.isEmpty())
            QCOMPARE(m_tray->logoutAction()->text(), logout);
        QCOMPARE(m_tray->openWindowAction()->isEnabled(), !email.isEmpty());
        m_tray->showOpenWindowHotkey(hotkey);
        QCOMPARE(m_tray->openWindowAction()->text(),
                 hotkey.isEmpty() ? QString("Open App Window") : "Open App Window   " + hotkey);
    }

    void everyTrayEntryIsItsCommand()
    {
        m_tray->showAccount("me@example.org", QString());
        for (QAction* action : entries(m_tray->menu()))
            action->trigger();
        QCOMPARE(m_commands,
                 (QList<Command>{Command::GetLatex, Command::OpenWindow, Command::UserGuide,
                                 Command::MyAccount, Command::Tutorial, Command::Settings, Command::Feedback,
                                 Command::About, Command::CheckUpdates, Command::LogOut, Command::Quit}));
    }

    void contextMenuFollowsTheUpdater_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QStringList>("updateEntries"); // between About and the log-out entry, then last
        QTest::addColumn<QList<Command>>("commands");
        const QList<Command> common{Command::Settings,  Command::Feedback, Command::UserGuide,
                                    Command::MyAccount, Command::Tutorial, Command::About};
        QTest::newRow("idle") << "idle" << QStringList{"&Check for Updates..."}
                              << common +
                                     QList<Command>{Command::CheckUpdates, Command::LogOut, Command::Quit};
        QTest::newRow("a check of the user runs")
            << "running" << QStringList{"&Check for Updates... (Running) (off)"}
            << common + QList<Command>{Command::LogOut, Command::Quit};
        QTest::newRow("the check ended")
            << "ended" << QStringList{"&Check for Updates..."}
            << common + QList<Command>{Command::CheckUpdates, Command::LogOut, Command::Quit};
        QTest::newRow("an update offered")
            << "offered" << QStringList{"&Update now"}
            << common + QList<Command>{Command::LogOut, Command::Quit, Command::UpdateNow};
    }
    void contextMenuFollowsTheUpdater()
    {
        QFETCH(QString, state);
        QFETCH(QStringList, updateEntries);
        QFETCH(QList<Command>, commands);
        m_tray->showIcon();
        if (state != "idle")
            m_tray->updateCheckStarted();
        if (state == "ended")
            m_tray->updateCheckEnded("Check for Updates...");
        if (state == "offered")
            m_tray->offerUpdate("Update now", "New version");
        const QStringList shown = popUp("me@example.org");
        QCOMPARE(shown.mid(0, 6), (QStringList{"&Settings", "&Send Feedback", "&User Guide", "&My Account",
                                               "&Tutorial", "&About"}));
        QStringList rest{"&Log out me@example.org", "&Quit"};
        if (state == "offered")
            rest += updateEntries;
        else
            rest = updateEntries + rest;
        QCOMPARE(shown.mid(6), rest);
        // The tray's own entry agrees.
        QCOMPARE(m_tray->checkUpdatesAction() != nullptr, state != "offered");
        if (m_tray->checkUpdatesAction())
            QCOMPARE(m_tray->checkUpdatesAction()->isEnabled(), state != "running");
        for (int i = 0; i < shown.size(); ++i)
            popUp("me@example.org", i);
        QCOMPARE(m_commands, commands);
    }

    void iconFollowsTheTheme_data()
    {
        QTest::addColumn<QString>("theme");
        QTest::addColumn<QString>("icon");
        const QString plain = ":/logo/logo (32x32).svg";
        QTest::newRow("high contrast") << "HighContrast" << plain;
        QTest::newRow("dark") << "ubuntu-mono-dark"
                              << ":/logo/logo-white (32x32).svg";
        QTest::newRow("light") << "ubuntu-mono-light"
                               << ":/logo/logo-black (32x32).svg";
        QTest::newRow("none") << "" << plain;
        QTest::newRow("another theme") << "Adwaita" << plain;
        QTest::newRow("a longer name") << "ubuntu-mono-dark-2" << plain;
    }
    void iconFollowsTheTheme()
    {
        QFETCH(QString, theme);
        QFETCH(QString, icon);
        const bool black = icon.contains("black");
        QIcon::setThemeName(black ? "HighContrast" : "ubuntu-mono-light");
        m_tray->showIcon(5);
        QVERIFY(m_tray->icon()->isVisible());
        QVERIFY(picture(m_tray->icon()->icon()) != picture(QIcon(icon)));
        // Switched at run time, without telling.
        QIcon::setThemeName(theme);
        QTRY_COMPARE(picture(m_tray->icon()->icon()), picture(QIcon(icon)));
        QCOMPARE(m_tray->iconTheme(), Tray::iconThemeFor(theme));
    }

    void messagesReachTheUser_data()
    {
        QTest::addColumn<bool>("icon");
        QTest::addColumn<bool>("error");
        QTest::addColumn<bool>("balloonShown");
        QTest::addColumn<bool>("boxShown");
        QTest::newRow("error with an icon: a balloon, never a box") << true << true << true << false;
        QTest::newRow("notice with an icon") << true << false << true << false;
        QTest::newRow("error without an icon: a warning box") << false << true << false << true;
        QTest::newRow("notice without an icon: nothing") << false << false << false << false;
    }
    void messagesReachTheUser()
    {
        QFETCH(bool, icon);
        QFETCH(bool, error);
        QFETCH(bool, balloonShown);
        QFETCH(bool, boxShown);
        if (icon)
            m_tray->showIcon();
        zq::test::BoxWatcher boxes;
        const QString text = "Something happened.\nTwice.";
        if (error)
            m_tray->showError(text);
        else
            m_tray->showNotice(text);
        if (balloonShown)
            QTRY_COMPARE(balloonTexts(), (QStringList{QCoreApplication::applicationName(), text}));
        else
            QVERIFY(!balloon());
        QCOMPARE(boxes.texts(), boxShown ? QStringList{text} : QStringList());
        if (boxShown)
            QCOMPARE(boxes.icons(), QList<QMessageBox::Icon>{QMessageBox::Warning});
    }

    void offeredUpdateRunsFromItsBalloonAndItsEntry()
    {
        m_tray->showIcon();
        m_tray->updateCheckStarted();
        m_tray->offerUpdate("Update now", "New version is available.");
        QVERIFY(!m_tray->updateCheckRunning() && m_tray->updateOffered());
        QVERIFY(!m_tray->checkUpdatesAction());
        const QList<QAction*> actions = m_tray->menu()->actions();
        QCOMPARE(actions.last(), m_tray->updateNowAction());
        QVERIFY(actions.at(actions.size() - 2)->isSeparator());
        QTRY_VERIFY(balloon());
        QTest::mouseClick(balloon(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
        QCOMPARE(m_commands, QList<Command>{Command::UpdateNow});
        m_tray->updateNowAction()->trigger();
        QCOMPARE(m_commands.size(), 2);

        // Any later message withdraws the balloon's promise, though the entry stays.
        m_tray->showNotice("Feedback has been sent");
        QVERIFY(!m_tray->updateOffered());
        QTRY_VERIFY(balloonTexts().contains("Feedback has been sent"));
        QTest::mouseClick(balloon(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
        QCOMPARE(m_commands.size(), 2);
        // Offered again: one entry still.
        m_tray->offerUpdate("Update now", "New version is available.");
        QCOMPARE(m_tray->menu()->actions().count(m_tray->updateNowAction()), 1);
        QCOMPARE(entries(m_tray->menu()).last(), m_tray->updateNowAction());
        QCOMPARE(entries(m_tray->menu()).size(), 11);
    }
};

int main(int argc, char* argv[])
{
    zq::test::prepareEnvironment();
    zq::test::startPrivateDisplay(QSize(1280, 800));
    QApplication app(argc, argv);
    zq::test::prepareApplication();
    TestTray test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_tray.moc"
