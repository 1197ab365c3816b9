#include "api/APIHandler.h"
#include "api/Provider.h"
#include "app/Application.h"
#include "app/RestartLauncher.h"
#include "app/SaveTimer.h"
#include "app/SignInState.h"
#include "app/SingleInstance.h"
#include "app/startup.h"
#include "core/autostart.h"
#include "core/identity.h"
#include "core/paths.h"
#include "core/settings.h"
#include "core/shortcuts.h"
#include "core/switches.h"
#include "core/userState.h"
#include "core/x11/ShortcutsEventFilter.h"
#include "library/QeltControllerSwitch.h"
#include "library/QeltsController.h"
#include "library/imageFiles.h"
#include "support/FakeAccount.h"
#include "support/TestMain.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QLocalSocket>
#include <QTemporaryDir>

#include <unistd.h>

using namespace zq::test;

namespace {

const QString kUser = QStringLiteral("me@example.org");
const QString kToken = QStringLiteral("t0k");

// The names of the diagnostic events that reached the gateway.
QStringList eventsAt(const FakeService& service)
{
    QStringList names;
    for (const RecordedRequest& request : service.requestsTo("/v1/logs"))
        for (const QJsonValue& record : request.json().value("logs").toArray())
            names << record.toObject().value("event").toString();
    return names;
}

} // namespace

// The application's state between its parts: who is signed in, and what each Qelt controller keeps.
class TestAppState : public QObject
{
    Q_OBJECT

    QNetworkAccessManager m_manager;
    std::unique_ptr<FakeService> m_service;
    std::unique_ptr<FakeAccount> m_account;

    QVector<RecordedRequest> lists() const { return m_service->requestsTo("/v1/qelts"); }
    int deletes(const QString& id) const { return m_service->requestsTo("/v1/qelts/" + id).size(); }

    // The library, back from its first list, and the search results beside it.
    struct Controllers
    {
        std::unique_ptr<QeltsController> library;
        std::unique_ptr<QeltsController> search;
    };
    Controllers startControllers(QNetworkAccessManager* manager)
    {
        const int before = lists().size();
        Controllers c{std::make_unique<QeltsController>(nullptr, manager),
                      std::make_unique<QeltsController>(nullptr, manager)};
        c.search->setLibrary(c.library.get());
        c.library->setUser(kUser, kToken);
        c.search->setUser(kUser, kToken);
        [&] { QTRY_VERIFY(lists().size() > before && !c.library->isListing()); }();
        return c;
    }

private slots:
    void init()
    {
        clearSettings();
        m_service = std::make_unique<FakeService>();
        m_account = std::make_unique<FakeAccount>(*m_service);
        m_service->on("GET", "/v1/user/settings", Reply::json(QJsonObject{{"improve_ocr", true}}));
        m_service->on("POST", "/v1/logs", Reply::json(QJsonObject()));
        utils::overrideBaseUrlsForTesting(m_service->baseUrl());
        APIHandler::overrideNetworkAvailabilityForTesting(true);
        // An earlier case's library file would be this case's start.
        for (const QFileInfo& file : QDir(utils::statePath()).entryInfoList(QDir::Files))
            QFile::remove(file.filePath());
    }

    void searchResultsKeepNoLibraryOfTheirOwn()
    {
        m_account->add("q1");
        m_account->add("q2");
        {
            Controllers earlier = startControllers(&m_manager);
            earlier.library->saveToDisk();
        }
        Controllers c = startControllers(&m_manager);
        QCOMPARE(c.library->count(), 2);
        // Neither the stored file nor the account's changes land among the search results.
        QCOMPARE(c.search->count(), 0);
        QVERIFY(c.search->qeltsFilePath().isEmpty());
        c.search->startSync();
        c.search->onSyncTimer();
        QVERIFY(!c.search->isListing());
        QCOMPARE(lists().size(), 2); // one per start, both the library's
        QVERIFY(QFile::exists(c.library->qeltsFilePath()));
    }

    void deletionInSearchResultsIsKeptByTheLibrary_data()
    {
        QTest::addColumn<bool>("heldByLibrary");
        QTest::addColumn<bool>("offline");
        QTest::newRow("listed in the library") << true << false;
        QTest::newRow("not listed in the library yet") << false << false;
        QTest::newRow("offline, then a restart") << true << true;
    }
    void deletionInSearchResultsIsKeptByTheLibrary()
    {
        QFETCH(bool, heldByLibrary);
        QFETCH(bool, offline);
        m_account->add("q1");
        if (heldByLibrary)
            m_account->add("q2");
        Controllers c = startControllers(&m_manager);
        if (!heldByLibrary)
            m_account->add("q2"); // found by a search before the library's next list
        QVERIFY(c.search->addQelt(ZorvaneQelt::fromJson(m_account->find("q2")->json(m_service->baseUrl())),
                                  false));
        if (offline)
            m_account->failNext(AccountCall::Delete, 1, 503);
        c.search->removeQelt("q2");
        QCOMPARE(c.search->count(), 0);
        QCOMPARE(c.library->count(), 1);
        QVERIFY(c.search->pendingDeletions().empty());
        QTRY_COMPARE(deletes("q2"), 1);
        if (offline) {
            // Stored by the library at once: a crash now loses nothing, and the search results' own start
            // for the same user leaves it stored.
            c.search->setUser(kUser, kToken);
            Controllers next = startControllers(&m_manager);
            QCOMPARE(next.library->pendingDeletions(), std::set<QString>{"q2"});
            QTRY_VERIFY((next.library->onSyncTimer(), next.library->pendingDeletions().empty()));
            QCOMPARE(next.library->count(), 1);
        }
        QTRY_VERIFY(m_account->find("q2")->deleted);
        QTRY_VERIFY(c.library->pendingDeletions().empty() || offline);
        c.library->startSync();
        QTRY_VERIFY(!c.library->isListing());
        QCOMPARE(c.library->count(), 1);
        QCOMPARE(deletes("q2"), offline ? 2 : 1);
    }
    void storedAccountCountsOnlyWhole_data()
    {
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<bool>("signedIn");
        QTest::newRow("e-mail and token") << QStringList{kUser, kToken} << true;
        QTest::newRow("e-mail without a token") << QStringList{kUser, ""} << false;
        QTest::newRow("token without an e-mail") << QStringList{"", kToken} << false;
        QTest::newRow("e-mail alone") << QStringList{kUser} << false;
        QTest::newRow("a third entry") << QStringList{kUser, kToken, "x"} << false;
        QTest::newRow("nothing") << QStringList() << false;
    }
    void storedAccountCountsOnlyWhole()
    {
        QFETCH(QStringList, stored);
        QFETCH(bool, signedIn);
        kKeyAuthInfo.set(stored);
        // A token left over in the factory from before counts for nothing either.
        ZorvaneAPI::Provider::instance().setToken(QStringLiteral("stale"));
        QeltsController library(nullptr, &m_manager);
        QeltsController search(nullptr, &m_manager);
        SignInState state(library, search);
        state.readStored();
        state.startControllers();
        QCOMPARE(state.isSignedIn(), signedIn);
        QCOMPARE(state.email(), signedIn ? kUser : QString());
        QCOMPARE(ZorvaneAPI::Provider::instance().token(), signedIn ? kToken : QString());
        QCOMPARE(library.qeltsFilePath().isEmpty(), !signedIn);
        if (signedIn) {
            QTRY_VERIFY(lists().size() == 1 && lists().first().header("authorization") == "Bearer t0k");
            // The search results' own requests carry the token too.
            m_account->add("q9");
            QVERIFY(search.addQelt(ZorvaneQelt::fromJson(m_account->find("q9")->json(m_service->baseUrl())),
                                   false));
            search.editQeltText("q9", "edited");
            QTRY_VERIFY(!m_service->requestsTo("/v1/qelts/q9").isEmpty());
            QCOMPARE(m_service->requestsTo("/v1/qelts/q9").first().header("authorization"), "Bearer t0k");
        } else {
            QVERIFY(lists().isEmpty() && !library.isListing());
        }
    }

    void signInAndOutMoveTheAccount()
    {
        m_account->add("q1");
        kKeyUserName.set(QStringLiteral("me"));
        QeltsController library(nullptr, &m_manager);
        QeltsController search(nullptr, &m_manager);
        SignInState state(library, search);
        state.readStored();
        state.startControllers();
        QVERIFY(!state.isSignedIn());
        state.signIn(kUser, kToken);
        QVERIFY(state.isSignedIn());
        QCOMPARE(utils::authInfo(), qMakePair(kUser, kToken));
        QTRY_COMPARE(library.count(), 1);
        library.saveToDisk();
        const QString file = library.qeltsFilePath();
        QVERIFY(QFile::exists(file));

        state.signOut();
        QVERIFY(!state.isSignedIn() && !ZorvaneAPI::Provider::instance().hasToken());
        QCOMPARE(state.email(), QString());
        QCOMPARE(utils::authInfo(), qMakePair(QString(), QString()));
        QVERIFY(!kKeyUserName.contains());
        // Nothing of the account stays in memory or on disk.
        QVERIFY(library.count() == 0 && search.count() == 0 && !QFile::exists(file));
        // The session's diagnostic lines leave as it ends, not at the next flush.
        QTRY_VERIFY(eventsAt(*m_service).contains("logout"));
    }

    void saveTimerSavesOnlyWhileSignedIn_data()
    {
        QTest::addColumn<bool>("signedIn");
        QTest::newRow("signed in") << true;
        QTest::newRow("signed out") << false;
    }
    void saveTimerSavesOnlyWhileSignedIn()
    {
        QFETCH(bool, signedIn);
        m_account->add("q1");
        QeltsController library(nullptr, &m_manager);
        library.setUser(kUser, kToken);
        QTRY_COMPARE(library.count(), 1);
        int asked = 0;
        SaveTimer timer(
            library, [&] { return ++asked, signedIn; }, nullptr, 5);
        QTRY_VERIFY(asked >= 2);
        QCOMPARE(QFile::exists(library.qeltsFilePath()), signedIn);
    }

    void valueTypesTravelAsStoredValues_data()
    {
        QTest::addColumn<QByteArray>("name");
        for (const char* name :
             {"ZorvaneQelt", "utils::shortcuts::Shortcut", "utils::ResultFormat", "utils::PRESETS",
              "utils::UserSetting", "utils::ROW_MEMORY", "DownloadedImageInfoList"})
            QTest::newRow(name) << QByteArray(name);
    }
    void valueTypesTravelAsStoredValues()
    {
        QFETCH(QByteArray, name);
        const int type = QMetaType::type(name.constData());
        QVERIFY(type != QMetaType::UnknownType);
        // A value goes into a variant stream and comes back, as settings and queued signals carry it.
        void* value = QMetaType::create(type);
        QByteArray bytes;
        QDataStream out(&bytes, QIODevice::WriteOnly);
        QVERIFY(QMetaType::save(out, type, value));
        QDataStream in(bytes);
        QVERIFY(QMetaType::load(in, type, value));
        QMetaType::destroy(type, value);
        QVERIFY(QMetaType::type("ContentInfo") != QMetaType::UnknownType);
    }

    void restartCommands_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("appImage");
        QTest::addColumn<QString>("program"); // empty: nothing starts
        QTest::addColumn<QStringList>("expected");
        const QString bin = QStringLiteral("/opt/zq/zorvane-qelting-tool");
        const QString hide = kHideStartBalloonSwitch;
        QTest::newRow("quit") << 0 << QStringList{bin} << ""
                              << "" << QStringList();
        QTest::newRow("another code") << 1 << QStringList{bin, "a"} << ""
                                      << "" << QStringList();
        QTest::newRow("restart") << 212 << QStringList{bin, "a", "b"} << "" << bin << QStringList{"a", "b"};
        QTest::newRow("restart keeps no balloon as it was")
            << 212 << QStringList{bin, hide} << "" << bin << QStringList{hide};
        QTest::newRow("silent restart adds no balloon")
            << 213 << QStringList{bin, "a"} << "" << bin << QStringList{"a", hide};
        QTest::newRow("silent restart adds it once")
            << 213 << QStringList{bin, hide, "a"} << "" << bin << QStringList{hide, "a"};
        QTest::newRow("the switch as program name is no switch")
            << 213 << QStringList{hide} << "" << hide << QStringList{hide};
        QTest::newRow("inside an AppImage the file starts, not the mounted binary")
            << 213 << QStringList{"/tmp/.mount_x/usr/bin/zq", "a"} << "/home/u/Zq.AppImage"
            << "/home/u/Zq.AppImage" << QStringList{"a", hide};
    }
    void restartCommands()
    {
        QFETCH(int, code);
        QFETCH(QStringList, arguments);
        QFETCH(QString, appImage);
        QFETCH(QString, program);
        QFETCH(QStringList, expected);
        const auto command = RestartLauncher::command(code, arguments, appImage);
        QCOMPARE(command.has_value(), !program.isEmpty());
        if (command) {
            QCOMPARE(command->program, program);
            QCOMPARE(command->arguments, expected);
        }
    }

    void versionFromArguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("version");
        const QString builtIn = utils::kAppVersion;
        QTest::newRow("none") << QStringList{"zq"} << builtIn;
        QTest::newRow("given") << QStringList{"zq", "-set_version", "04.00.0001"} << "04.00.0001";
        QTest::newRow("the first counts")
            << QStringList{"zq", "-set_version", "1", "-set_version", "2"} << "1";
        QTest::newRow("last argument, no value")
            << QStringList{"zq", "-hide-start-balloon", "-set_version"} << builtIn;
        QTest::newRow("another case") << QStringList{"zq", "-Set_version", "9"} << builtIn;
    }
    void versionFromArguments()
    {
        QFETCH(QStringList, arguments);
        QTEST(Application::versionFromArguments(arguments), "version");
    }

    void platformChoice_data()
    {
        QTest::addColumn<QString>("asked");
        QTest::addColumn<QString>("display");
        QTest::addColumn<QByteArray>("platform");
        QTest::newRow("X11 session") << ""
                                     << ":0" << QByteArray("xcb");
        QTest::newRow("Wayland with Xwayland") << ""
                                               << ":1" << QByteArray("xcb");
        QTest::newRow("Wayland without Xwayland") << ""
                                                  << "" << QByteArray();
        QTest::newRow("asked for Wayland") << "wayland"
                                           << ":1" << QByteArray();
        QTest::newRow("asked for offscreen") << "offscreen"
                                             << "" << QByteArray();
    }
    void platformChoice()
    {
        QFETCH(QString, asked);
        QFETCH(QString, display);
        QProcessEnvironment environment;
        environment.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-0"));
        if (!asked.isEmpty())
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), asked);
        if (!display.isEmpty())
            environment.insert(QStringLiteral("DISPLAY"), display);
        QTEST(startup::platformFor(environment), "platform");
    }

    // Only this user's programs look there: the runtime folder, or the shared temporary folder under a
    // name that holds the user id.
    void socketLiesWhereOnlyThisUserLooks_data()
    {
        QTest::addColumn<QString>("runtime"); // below the temporary HOME; empty: unset
        QTest::addColumn<bool>("inRuntime");
        QTest::newRow("runtime folder") << "/runtime" << true;
        QTest::newRow("no runtime folder") << "" << false;
        QTest::newRow("runtime folder missing") << "/gone" << false;
        QTest::newRow("too deep for a socket's name") << "/runtime/" + QString(60, 'd') << false;
    }
    void socketLiesWhereOnlyThisUserLooks()
    {
        QFETCH(QString, runtime);
        QFETCH(bool, inRuntime);
        const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
        const auto restore = qScopeGuard([&saved] { qputenv("XDG_RUNTIME_DIR", saved); });
        const QString folder = zq::test::homePath() + runtime;
        if (runtime.contains('d'))
            QVERIFY(QDir().mkpath(folder));
        if (runtime.isEmpty())
            qunsetenv("XDG_RUNTIME_DIR");
        else
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(folder));
        const QString expected = inRuntime ? folder + "/" + SingleInstance::kServerName
                                           : QDir::tempPath() + "/" + SingleInstance::kServerName + "-" +
                                                 QString::number(getuid());
        QCOMPARE(SingleInstance::userServerPath(), expected);
        SingleInstance guard(nullptr);
        QVERIFY(guard.claim());
        QVERIFY(guard.isListening());
        guard.close();
        QVERIFY(!QFileInfo::exists(expected));
    }

    // Our switches follow the user's, and a switch the user gave keeps the user's value.
    void chromiumFlagsFollowTheUsers_data()
    {
        QTest::addColumn<QByteArray>("user");
        QTest::addColumn<QByteArray>("flags");
        const QByteArray ours = "--renderer-process-limit=1 --process-per-site";
        QTest::newRow("none given") << QByteArray() << ours;
        QTest::newRow("others given")
            << QByteArray("  --disable-gpu   --lang=de ") << "--disable-gpu   --lang=de " + ours;
        QTest::newRow("limit given") << QByteArray("--renderer-process-limit=4")
                                     << QByteArray("--renderer-process-limit=4 --process-per-site");
        QTest::newRow("both given") << QByteArray("--process-per-site --renderer-process-limit")
                                    << QByteArray("--process-per-site --renderer-process-limit");
        QTest::newRow("a longer name")
            << QByteArray("--process-per-site-instance") << "--process-per-site-instance " + ours;
    }
    void chromiumFlagsFollowTheUsers()
    {
        QFETCH(QByteArray, user);
        QTEST(startup::chromiumFlags(user), "flags");
    }

    void idleUnlessTheUserMayBeAtWork()
    {
        auto* app = static_cast<Application*>(qApp);
        QVERIFY(app->IsIdle());
        auto* dialog = new QDialog;
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        QWidget mainWindow;
        app->busyWindows().addWhileOpen(dialog);
        app->busyWindows().addWhileVisible(&mainWindow);
        QVERIFY(!app->IsIdle()); // open, even before it shows
        dialog->show();
        dialog->close();
        QTRY_VERIFY(app->IsIdle());
        mainWindow.show();
        QVERIFY(!app->IsIdle());
        mainWindow.hide();
        QVERIFY(app->IsIdle());
    }

    // The one run of this process's application: from the stored account to the end, and a restart.
    void runStartsForTheStoredAccountAndEndsInOrder()
    {
        auto* app = static_cast<Application*>(qApp);
        m_account->add("q1");
        kKeyAuthInfo.set(QStringList{kUser, kToken});
        // An image file that no index names is left from an earlier run: the start removes it.
        const QString stray = utils::imagesFolder() + QStringLiteral("/0123456789abcdef0123456789abcdef.png");
        QVERIFY(QFile(stray).open(QIODevice::WriteOnly));
        QTemporaryDir folder;
        const QString appImage = folder.filePath(QStringLiteral("Zorvane.AppImage"));
        QVERIFY(QFile(appImage).open(QIODevice::WriteOnly));
        qputenv("APPIMAGE", QFile::encodeName(appImage));
        QList<RestartLauncher::Command> launched;
        RestartLauncher::setLauncherForTesting([&launched](const RestartLauncher::Command& command) {
            launched << command;
            return true;
        });
        bool signedInDuringRun = false;
        QTimer::singleShot(0, app, [&] {
            const auto end = qScopeGuard([app] { app->SilentRestart(); });
            signedInDuringRun = app->IsLoggedIn();
            QVERIFY(!QGuiApplication::quitOnLastWindowClosed()); // a tray program ends by its menu
            QVERIFY(app->singleInstance().isListening());
            // The socket lies where only this user's programs look, and is this user's.
            const QFileInfo socket(SingleInstance::userServerPath());
            QCOMPARE(socket.absolutePath(), qEnvironmentVariable("XDG_RUNTIME_DIR"));
            QVERIFY(socket.exists());
            QCOMPARE(socket.permissions() &
                         (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther),
                     QFile::Permissions());
            QVERIFY(!QFile::exists(stray));
            QVERIFY(utils::isAutostartEnabled());
            QTRY_COMPARE(m_service->requestsTo("/v1/user/settings").size(), 1);
            // Without an X display there is no global hotkey to hold.
            QVERIFY(!app->hotkeyFilter()->setLatexShortcut(utils::shortcutLatex()));
            // A capture asked for from the library in search mode goes back to the library.
            app->controllerSwitch().setMode(1);
            app->MakeScreenshot();
            QCOMPARE(app->controllerSwitch().mode(), 0);
            QTRY_VERIFY(app->library().count() == 1);
        });
        QCOMPARE(app->Run(), RestartLauncher::kSilentRestartCode);
        RestartLauncher::setLauncherForTesting({});
        QVERIFY(signedInDuringRun);
        QCOMPARE(app->searchResults().count(), 0);
        QCOMPARE(lists().size(), 1); // the library's alone
        // Cleanup: the events sent, the library saved, the instance let go.
        QVERIFY(eventsAt(*m_service).contains("app_start"));
        QVERIFY(QFile::exists(app->library().qeltsFilePath()));
        QVERIFY(!app->singleInstance().isListening());
        QLocalSocket knock;
        knock.connectToServer(SingleInstance::userServerPath());
        QVERIFY(!knock.waitForConnected(100));
        QVERIFY(!QFileInfo::exists(SingleInstance::userServerPath()));
        QCOMPARE(launched.size(), 1);
        QCOMPARE(launched.first().program, appImage);
        QCOMPARE(launched.first().arguments, QCoreApplication::arguments().mid(1) << kHideStartBalloonSwitch);
        QVERIFY(kKeyTutorialWasShown.contains());
        qunsetenv("APPIMAGE");
    }
};

// The application object itself is the one QApplication of this process.
int main(int argc, char* argv[])
{
    zq::test::prepareEnvironment();
    // The single-instance socket of this run, apart from any other run's on the machine.
    qputenv("TMPDIR", QFile::encodeName(zq::test::homePath()));
    // As main prepares the process: the value types and the attributes come before the application.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    startup::prepareProcess();
    Application::setMainWindowForTesting(false);
    Application app(argc, argv);
    zq::test::prepareApplication();
    TestAppState test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "test_app_state.moc"
