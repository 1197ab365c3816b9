#include "app/RestartLauncher.h"
#include "app/SingleInstance.h"
#include "core/paths.h"
#include "core/settings.h"
#include "core/switches.h"
#include "core/userState.h"
#include "library/QeltsContainer.h"
#include "library/QeltsController.h"
#include "support/FakeAccount.h"
#include "support/ProcessTree.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <csignal>

#include <unistd.h>

using namespace zq::test;

namespace {

const QString kUser = QStringLiteral("me@example.org");

// A user of the machine: the home and XDG folders of the test's own, or others of a user id of their own,
// with or without a runtime folder.
struct User
{
    uid_t uid = ::getuid();
    std::shared_ptr<QTemporaryDir> home; // null: the test's own folders
    bool runtimeFolder = true;

    static User another(bool runtimeFolder)
    {
        User user{::getuid() + 1, std::make_shared<QTemporaryDir>(QDir::tempPath() + "/u-XXXXXX"),
                  runtimeFolder};
        for (const char* folder : {"/.config", "/.local/share", "/runtime"})
            QDir().mkpath(user.home->path() + folder);
        return user;
    }
    // The system's tool runs the program as this user: uid mapped in a user namespace of its own.
    QStringList wrapper() const
    {
        if (uid == ::getuid())
            return {};
        const QString id = QString::number(uid);
        return {QStringLiteral("unshare"), "--map-user=" + id, "--map-group=" + id, "--"};
    }
    void adjust(QProcessEnvironment& environment) const
    {
        if (home) {
            environment.insert(QStringLiteral("HOME"), home->path());
            environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home->path() + "/.config");
            environment.insert(QStringLiteral("XDG_DATA_HOME"), home->path() + "/.local/share");
            environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home->path() + "/runtime");
        }
        if (!runtimeFolder)
            environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    }
};

// One start of the real program, with a folder of its own for the notes its starts leave.
struct Child
{
    QProcess process;
    QTemporaryDir notes;
    QByteArray output;

    Child(const QString& service, const QStringList& arguments, const QString& appImage = QString(),
          const User& user = User())
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("ZQ_CHILD_SERVICE"), service);
        environment.insert(QStringLiteral("ZQ_CHILD_MARKERS"), notes.path());
        if (!appImage.isEmpty())
            environment.insert(QStringLiteral("APPIMAGE"), appImage);
        user.adjust(environment);
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::SeparateChannels);
        QObject::connect(&process, &QProcess::readyReadStandardOutput,
                         [this] { output += process.readAllStandardOutput(); });
        QStringList command = user.wrapper() << QStringLiteral(ZQ_APP_CHILD) << arguments;
        process.start(command.takeFirst(), command);
    }
    ~Child()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    }
    bool said(const QByteArray& line) const { return output.split('\n').contains(line); }
    void tell(const QByteArray& line) { process.write(line + '\n'); }
    // The note of the program's n-th start.
    QJsonObject note(int run) const
    {
        QFile file(QDir(notes.path()).filePath(QStringLiteral("run%1").arg(run)));
        return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object()
                                              : QJsonObject();
    }
    int starts() const { return QDir(notes.path()).entryList(QDir::Files).size(); }
};

QStringList eventsAt(const FakeService& service)
{
    QStringList names;
    for (const RecordedRequest& request : service.requestsTo("/v1/logs"))
        for (const QJsonValue& record : request.json().value("logs").toArray())
            names << record.toObject().value("event").toString();
    return names;
}

} // namespace

// The whole program in child processes: one instance per user, the restart, and what the end leaves.
class TestAppLifecycle : public QObject
{
    Q_OBJECT

    std::unique_ptr<FakeService> m_service;
    std::unique_ptr<FakeAccount> m_account;

private slots:
    void initTestCase()
    {
        // The single-instance socket of this run, apart from any other run's on the machine.
        qputenv("TMPDIR", QFile::encodeName(homePath()));
    }

    void init()
    {
        clearSettings();
        m_service = std::make_unique<FakeService>();
        m_account = std::make_unique<FakeAccount>(*m_service);
        m_service->on("GET", "/v1/user/settings", Reply::json(QJsonObject{{"improve_ocr", true}}));
        m_service->on("POST", "/v1/logs", Reply::json(QJsonObject()));
    }

    void secondStartKnocksAndEndsWithOne()
    {
        m_account->add("q1");
        utils::setAuthInfo(kUser, QStringLiteral("t0k"));
        Child first(m_service->baseUrl(), {});
        QTRY_VERIFY(first.said("ready"));
        QTRY_VERIFY(!m_service->requestsTo("/v1/qelts").isEmpty());

        Child second(m_service->baseUrl(), {});
        QVERIFY(second.process.waitForFinished(kWaitMs));
        QCOMPARE(second.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.process.exitCode(), 1);
        QVERIFY(!second.said("ready"));
        QTRY_VERIFY(first.said("knocked"));

        // A restart: one copy starts with the same arguments, and ends by itself once it is up.
        first.tell("exit 212");
        QTRY_COMPARE(first.process.state(), QProcess::NotRunning);
        QCOMPARE(first.process.exitCode(), RestartLauncher::kRestartCode);
        // The end saved the library.
        QCOMPARE(QDir(utils::statePath()).entryList({QStringLiteral("qelts-*.dat")}).size(), 1);
        QTRY_COMPARE(first.starts(), 2);
        QTRY_VERIFY(first.note(1).contains("arguments"));
        QCOMPARE(first.note(1).value("arguments").toArray(), QJsonArray{QStringLiteral(ZQ_APP_CHILD)});
        QTRY_VERIFY(::kill(pid_t(first.note(1).value("pid").toDouble()), 0) != 0);
        // The first start's events and the copy's, sent as each ended; the second start sent none.
        QTRY_COMPARE(eventsAt(*m_service).count("app_start"), 2);
    }

    // Each user of the machine has a guard of their own: another user's program neither steps back
    // for this user's nor takes its place, and a user's second start still steps back.
    void eachUserHasAGuardOfTheirOwn_data()
    {
        QTest::addColumn<bool>("runtimeFolder");
        QTest::addColumn<bool>("anotherUser");
        QTest::newRow("same user") << true << false;
        QTest::newRow("same user, no runtime folder") << false << false;
        QTest::newRow("another user") << true << true;
        QTest::newRow("another user, no runtime folders") << false << true;
    }
    void eachUserHasAGuardOfTheirOwn()
    {
        QFETCH(bool, runtimeFolder);
        QFETCH(bool, anotherUser);
        const User first{::getuid(), nullptr, runtimeFolder};
        const User second = anotherUser ? User::another(runtimeFolder) : first;
        if (anotherUser && QProcess::execute("unshare", second.wrapper().mid(1) << "true") != 0)
            QSKIP("No user namespaces here to run a program as another user");
        Child running(m_service->baseUrl(), {}, QString(), first);
        QTRY_VERIFY(running.said("ready"));

        Child later(m_service->baseUrl(), {}, QString(), second);
        if (!anotherUser) {
            QVERIFY(later.process.waitForFinished(kWaitMs));
            QCOMPARE(later.process.exitCode(), 1);
            QTRY_VERIFY(running.said("knocked"));
            return;
        }
        QTRY_VERIFY(later.said("ready") || later.process.state() == QProcess::NotRunning);
        QVERIFY2(later.said("ready"), later.process.readAllStandardError().constData());
        // That user's own second start steps back for that user's program alone.
        Child again(m_service->baseUrl(), {}, QString(), second);
        QVERIFY(again.process.waitForFinished(kWaitMs));
        QCOMPARE(again.process.exitCode(), 1);
        QTRY_VERIFY(later.said("knocked"));
        QVERIFY(!running.said("knocked"));
        QCOMPARE(running.process.state(), QProcess::Running);
    }

    void laterStartWritesZeroToTheRunningOne()
    {
        // This test plays the running instance.
        QLocalServer running;
        QLocalServer::removeServer(SingleInstance::userServerPath()); // left by a child that was killed
        QVERIFY(running.listen(SingleInstance::userServerPath()));
        Child later(m_service->baseUrl(), {});
        QVERIFY(running.waitForNewConnection(kWaitMs));
        QLocalSocket* knock = running.nextPendingConnection();
        QTRY_VERIFY(later.process.state() == QProcess::NotRunning);
        QCOMPARE(later.process.exitCode(), 1);
        QTRY_VERIFY(knock->bytesAvailable() > 0);
        QCOMPARE(knock->readAll(), QByteArray("0"));
        QVERIFY(eventsAt(*m_service).isEmpty());
    }

    void silentRestartStartsTheAppImageOnce()
    {
        // The program's file as an AppImage would name it; the restart must start this one.
        QTemporaryDir folder;
        const QString appImage = folder.filePath(QStringLiteral("Zorvane.AppImage"));
        QVERIFY(QFile::link(QStringLiteral(ZQ_APP_CHILD), appImage));
        utils::setAuthInfo(kUser, QStringLiteral("t0k")); // the events travel with a token only
        Child first(m_service->baseUrl(), {QStringLiteral("-full-dump")}, appImage);
        QTRY_VERIFY(first.said("ready"));
        first.tell("exit 213");
        QTRY_COMPARE(first.process.state(), QProcess::NotRunning);
        QCOMPARE(first.process.exitCode(), RestartLauncher::kSilentRestartCode);

        QTRY_COMPARE(first.starts(), 2);
        QTRY_VERIFY(first.note(1).contains("arguments"));
        const QJsonObject copy = first.note(1);
        QCOMPARE(copy.value("arguments").toArray(),
                 (QJsonArray{appImage, QStringLiteral("-full-dump"), kHideStartBalloonSwitch}));
        // The copy ends by itself once it is up; it was a start like any other.
        const pid_t pid = pid_t(copy.value("pid").toDouble());
        QTRY_VERIFY(::kill(pid, 0) != 0);
        QTRY_COMPARE(eventsAt(*m_service).count("app_start"), 2);
    }

    // The desktop ends the session with SIGTERM; a terminal with SIGHUP or SIGINT. Each ends the program
    // as its Quit entry does: the library saved, the diagnostic lines sent, the socket removed.
    void endSignalsQuitAsTheQuitEntryDoes_data()
    {
        QTest::addColumn<int>("number");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGHUP") << SIGHUP;
    }
    void endSignalsQuitAsTheQuitEntryDoes()
    {
        QFETCH(int, number);
        const QString file = utils::statePath() + "/qelts-" + QeltsController::userHex(kUser) + ".dat";
        QFile::remove(file); // an earlier end saved it
        m_account->add("q1");
        utils::setAuthInfo(kUser, QStringLiteral("t0k"));
        Child child(m_service->baseUrl(), {});
        QTRY_VERIFY(child.said("qelts 1"));
        QVERIFY(QFileInfo::exists(SingleInstance::userServerPath()));
        QCOMPARE(::kill(pid_t(child.process.processId()), number), 0);
        QTRY_COMPARE(child.process.state(), QProcess::NotRunning);
        QCOMPARE(child.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.process.exitCode(), 0);

        QeltsContainer saved(nullptr);
        QVERIFY(saved.load(file));
        QVERIFY(saved.find("q1"));
        QVERIFY(eventsAt(*m_service).contains("app_start"));
        QVERIFY(!QFileInfo::exists(SingleInstance::userServerPath()));
    }

    // From the moment of a sign-out to the program's end the old token goes out once at most: with the
    // diagnostic lines of the session that ends, at that moment, unless the service has refused it. A usage
    // event refused with it goes again with the next sign-in.
    void oldTokenStaysBehindAfterTheSignOut_data()
    {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QStringList>("withOldToken"); // from the sign-out on
        QTest::newRow("tray entry") << QByteArray("logout") << QStringList{"POST /v1/logs logout"};
        QTest::newRow("refused token") << QByteArray("sync") << QStringList{"GET /v1/qelts"};
    }
    void oldTokenStaysBehindAfterTheSignOut()
    {
        QFETCH(QByteArray, command);
        QFETCH(QStringList, withOldToken);
        m_account->add("q1");
        m_service->enqueue("POST", "/v1/events", Reply::text(401));
        m_service->on("POST", "/v1/events", Reply::json(QJsonObject()));
        utils::setAuthInfo(kUser, QStringLiteral("old-token"));
        Child child(m_service->baseUrl(), {});
        QTRY_VERIFY(child.said("qelts 1"));
        // What the start sends has arrived ("install" refused), and its last diagnostic line, the update
        // check's, is queued.
        QTRY_VERIFY(!m_service->requestsTo("/v1/user/settings").isEmpty() &&
                    !m_service->requestsTo("/v1/events").isEmpty() &&
                    !m_service->requestsTo("/lin_app/version.json").isEmpty());
        const int moment = m_service->requestCount();
        const auto sentWith = [this, moment](const QByteArray& token) {
            QStringList sent;
            for (const RecordedRequest& request : m_service->requests().mid(moment)) {
                if (request.header("authorization") != "Bearer " + token)
                    continue;
                // With the last diagnostic record's event, or the usage event's name.
                const QJsonObject body = request.json();
                QString detail = body.value("name").toString();
                if (const QJsonArray logs = body.value("logs").toArray(); !logs.isEmpty())
                    detail = logs.last().toObject().value("event").toString();
                sent << request.method + ' ' + request.path + (detail.isEmpty() ? "" : " " + detail);
            }
            return sent;
        };
        if (command == "sync")
            m_account->failNext(AccountCall::List, 1, 401);
        child.output.clear();
        child.tell(command);
        QTRY_VERIFY(child.said("qelts 0"));
        QTRY_COMPARE(sentWith("old-token"), withOldToken);

        child.tell("signin " + kUser.toLatin1() + " new-token");
        QTRY_VERIFY(sentWith("new-token").contains("POST /v1/events install"));
        child.tell("exit 0");
        QTRY_COMPARE(child.process.state(), QProcess::NotRunning);
        QCOMPARE(child.process.exitCode(), 0);
        QCOMPARE(sentWith("old-token"), withOldToken);
    }

    void damagedSettingsAreSetAsideBeforeAnythingReadsThem_data()
    {
        QTest::addColumn<QByteArray>("damage"); // after a sign-in; null: a folder in the file's place
        QTest::addColumn<QString>("logged");
        // The account is read by the crash reporter at start; the polygon makes Qt die while parsing.
        QTest::newRow("a value Qt dies on")
            << QByteArray("Polygon=\"@Variant(\\0\\0\\0G\\x7f\\xff\\xff\\xff)\"\n")
            << "Unreadable settings file moved to ";
        QTest::newRow("garbage") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)
                                 << "Unreadable settings file moved to ";
        // A polygon (the old stream's type number) of a hundred million points: Qt appends them one by
        // one, for minutes and gigabytes.
        QTest::newRow("a value Qt works on for minutes")
            << QByteArray("Polygon=\"@Variant(\\0\\0\\0\\xb7\\a\\0\\0\\0)\"\n")
            << "Unreadable settings file moved to ";
        // The stored rows as a fuzzer grew them: reading the value would take gigabytes.
        QTest::newRow("a value that takes gigabytes")
            << QByteArray("SettingsVersion=1\nLastSelectedRows=@Variant(\\0\\0\\0\\x\267\221\2430\\0\\0\\x12"
                          "utils::ROW_MEMORY\\0\\0\\0\\0\\x1\\0\\0\\0\\x2\\0\\0\\0\\x3)\n")
            << "Unreadable settings file moved to ";
        // Nothing of ours comes near the limits of the check, a long list of the account's included.
        QByteArray list = "Pending=";
        for (int i = 0; i < 2000; ++i)
            list += "q" + QByteArray::number(i) + ", ";
        QTest::newRow("a good file with a long list") << list + "last\n" << QString();
        // Nothing can be written over it either: it stays, for whoever can mend it.
        QTest::newRow("a folder in the file's place")
            << QByteArray() << "Settings file cannot be read; starting with defaults: ";
    }

    void damagedSettingsAreSetAsideBeforeAnythingReadsThem()
    {
        QFETCH(QByteArray, damage);
        QFETCH(QString, logged);
        rusage waitedBefore{};
        QCOMPARE(getrusage(RUSAGE_CHILDREN, &waitedBefore), 0);
        const long largestWaitedBefore = waitedBefore.ru_maxrss;
        QDir(utils::logsPath()).removeRecursively();
        const QFileInfo settings(settingsFilePath());
        auto removeFolder = qScopeGuard([&] { QDir(settings.filePath()).removeRecursively(); });
        // A case that fails leaves no file aside for the next.
        auto removeAside = qScopeGuard([&] {
            for (const QString& name :
                 settings.absoluteDir().entryList({settings.fileName() + QStringLiteral(".damaged-*")}))
                QFile::remove(settings.absoluteDir().filePath(name));
        });
        if (damage.isNull())
            QVERIFY(QFile::remove(settings.filePath()) && QDir().mkpath(settings.filePath()));
        else
            QVERIFY(writeRawSettings("[General]\nAuthInfo=me@example.org, t0k\n" + damage));
        Child child(m_service->baseUrl(), {});
        QTRY_VERIFY(child.said("ready") || child.process.state() == QProcess::NotRunning);
        QVERIFY(child.said("ready"));
        // The check's own child held the parse; the program never met it.
        const qint64 peak = statusKiB(child.process.processId(), "VmHWM");
        QVERIFY2(peak > 0 && peak < 1024 * 1024, qPrintable(QString::number(peak)));
        child.tell("exit 0");
        QTRY_COMPARE(child.process.state(), QProcess::NotRunning);
        QCOMPARE(child.process.exitCode(), 0);
        // Nor did the check's own child grow past its bound, whatever the value claimed: what it had when
        // forked (no more than the program's peak) and the 256 MiB it may add, with room for a sanitizer's
        // shadow of them. The program has waited for it and this test for the program: the largest process
        // this test has waited for is known, and one larger than before came from this start.
        rusage waited{};
        QCOMPARE(getrusage(RUSAGE_CHILDREN, &waited), 0);
        if (waited.ru_maxrss > largestWaitedBefore)
            QVERIFY2(
                waited.ru_maxrss <= peak + 320 * 1024,
                qPrintable(
                    QStringLiteral("%1 KiB, the program's peak %2 KiB").arg(waited.ru_maxrss).arg(peak)));
        const QStringList aside =
            settings.absoluteDir().entryList({settings.fileName() + QStringLiteral(".damaged-*")});
        QCOMPARE(aside.size(), damage.isNull() || logged.isEmpty() ? 0 : 1);
        QCOMPARE(QFileInfo(settings.filePath()).isDir(), damage.isNull());
        if (logged.isEmpty()) {
            QFile kept(settings.filePath());
            QVERIFY(kept.open(QIODevice::ReadOnly));
            const QByteArray content = kept.readAll();
            QVERIFY(content.contains("me@example.org") && content.contains(damage.left(40)));
            return;
        }
        // Said in the log, although the log file is opened after the settings are read.
        QByteArray log;
        const QDir logs(utils::logsPath());
        for (const QString& name : logs.entryList({QStringLiteral("zorvane-*.log")}, QDir::Files)) {
            QFile file(logs.filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            log += file.readAll();
        }
        const QString named =
            damage.isNull() ? settings.filePath() : settings.absoluteDir().filePath(aside.first());
        QVERIFY2(log.contains(QFile::encodeName("[settings] " + logged + named)), log.constData());
        if (!aside.isEmpty())
            QVERIFY(QFile::remove(settings.absoluteDir().filePath(aside.first())));
    }
};

ZQ_TEST_MAIN(TestAppLifecycle)
#include "test_app_lifecycle.moc"
