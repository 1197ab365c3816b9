#include "libraryTestSupport.h"

#include "api/APIHandler.h"
#include "core/identity.h"
#include "core/paths.h"
#include "library/ImageDownloader.h"
#include "library/QeltsContainer.h"
#include "library/QeltsController.h"
#include "support/FakeAccount.h"
#include "support/ReadOnlyFolder.h"
#include "support/SilentService.h"
#include "support/TestMain.h"

#include <QDirIterator>
#include <QNetworkReply>
#include <QProcess>
#include <QScopeGuard>
#include <QUrlQuery>

namespace {

// Root needs it to make a folder read-only; made before any thread starts.
[[maybe_unused]] const bool kOwnMounts = zq::test::enterOwnMountNamespace();

QStringList g_critical; // critical lines logged while a test listens
QtMessageHandler g_previousHandler = nullptr;

void recordCritical(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtCriticalMsg)
        g_critical << message;
    g_previousHandler(type, context, message);
}

} // namespace

using namespace zq::test;

// The controller kept in step with the stateful fake account over real HTTP.
class TestQeltsSync : public QObject
{
    Q_OBJECT

    QNetworkAccessManager m_manager;
    std::unique_ptr<FakeService> m_service;
    std::unique_ptr<FakeAccount> m_account;
    std::unique_ptr<QeltsController> m_controller;

    QVector<RecordedRequest> lists() const { return m_service->requestsTo("/v1/qelts"); }
    int calls(const QByteArray& method) const
    {
        const auto sent = m_service->requestsTo("/v1/qelts/q1");
        return int(std::count_if(sent.begin(), sent.end(), [&](auto& r) { return r.method == method; }));
    }

    // A fresh controller for the account's user, back from its first list.
    void start(const SyncIntervals& intervals = {})
    {
        const int before = lists().size();
        m_controller = std::make_unique<QeltsController>(nullptr, &m_manager);
        m_controller->setSyncIntervalsForTesting(intervals);
        m_controller->setUser("me@example.org", "t0k");
        QTRY_VERIFY(lists().size() > before && !m_controller->isListing());
        QVERIFY(lists().last().header("authorization") == "Bearer t0k" &&
                lists().last().header("user-agent") == utils::appVersionString().toUtf8());
    }

private slots:
    void init()
    {
        m_controller.reset();
        clearSettings();
        m_service = std::make_unique<FakeService>();
        m_account = std::make_unique<FakeAccount>(*m_service);
        m_account->add("q1");
        utils::overrideBaseUrlsForTesting(m_service->baseUrl());
        APIHandler::overrideNetworkAvailabilityForTesting(true);
    }

    void cleanup()
    {
        if (m_controller)
            m_controller->setUser(QString(), QString()); // deletes the user's file
    }

    void deletionEndsWhenTheQeltIsGone_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("deletes");
        QTest::newRow("deleted") << "" << 1;
        QTest::newRow("deleted on the web before") << "web" << 1;
        QTest::newRow("gone") << "410" << 1;
        QTest::newRow("server error, sent again") << "500" << 2;
        QTest::newRow("in flight while the list reports it") << "held" << 2;
        QTest::newRow("crash before the answer") << "crash" << 2;
    }
    void deletionEndsWhenTheQeltIsGone()
    {
        QFETCH(QString, fault);
        QFETCH(int, deletes);
        m_account->add("q2");
        start();
        if (fault == "web")
            m_account->remove("q1");
        if (fault == "held")
            m_account->delayNext(AccountCall::Delete, 1, -1);
        else if (fault.toInt() || fault == "crash")
            m_account->failNext(AccountCall::Delete, 1, fault.toInt() ? fault.toInt() : 500);
        m_controller->removeQelt("q1");
        QTRY_COMPARE(calls("DELETE"), 1);
        if (fault == "crash")
            start(); // without saveToDisk; the list page still holds q1
        if (fault == "held") {
            m_controller->startSync();
            QTRY_VERIFY(!m_controller->isListing());
            for (QNetworkReply* reply : m_manager.findChildren<QNetworkReply*>())
                reply->abort(); // the connection is lost; the next try finds it gone
        }
        QTRY_COMPARE(m_controller->pendingDeletions().size(), size_t(deletes - 1));
        QTRY_VERIFY((m_controller->onSyncTimer(), m_controller->pendingDeletions().empty()));
        QCOMPARE(calls("DELETE"), deletes);
        QCOMPARE(m_controller->count(), 1);
        QCOMPARE(m_account->find("q1")->deleted, fault != "410");
    }

    void contentErrorsGiveAnEditUp_data()
    {
        QTest::addColumn<int>("edits");
        QTest::addColumn<QString>("statuses");
        QTest::addColumn<int>("patches"); // sent until the queue is empty
        QTest::newRow("two content errors") << 1 << "400 400" << 2;
        QTest::newRow("not found twice") << 1 << "404 404" << 2;
        QTest::newRow("an error, a success, an error") << 2 << "400 200 400" << 4;
        QTest::newRow("server errors retry") << 1 << "500 500" << 3;
        QTest::newRow("timeouts and rate limits retry") << 1 << "408 429" << 3;
    }
    void contentErrorsGiveAnEditUp()
    {
        QFETCH(int, edits);
        QFETCH(QString, statuses);
        start();
        for (const QString& status : statuses.split(' '))
            m_account->failNext(AccountCall::Patch, 1, status == "200" ? 0 : status.toInt());
        for (int i = 0; i < edits; ++i)
            m_controller->editQeltText("q1", QString::number(i));
        QTRY_VERIFY((m_controller->onSyncTimer(), m_controller->editQueue().isEmpty()));
        QTEST(calls("PATCH"), "patches");
    }

    void tickListsWhenDue_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<int>("status"); // of the first tick's list
        QTest::addColumn<bool>("listsAgain");
        QTest::newRow("no window") << "none" << 200 << false;
        QTest::newRow("hidden, the token refused") << "hidden" << 401 << false;
        QTest::newRow("minimised, a server error") << "minimised" << 500 << false;
        QTest::newRow("shown") << "shown" << 200 << true;
    }
    void tickListsWhenDue()
    {
        QFETCH(QString, window);
        QFETCH(int, status);
        start();
        QWidget mainWindow;
        mainWindow.setVisible(window == "shown" || window == "minimised");
        mainWindow.setWindowState(window == "minimised" ? Qt::WindowMinimized : Qt::WindowNoState);
        m_controller->setMainWindow(window == "none" ? nullptr : &mainWindow);
        QSignalSpy refused(m_controller.get(), &QeltsController::receivedForbidden);
        if (status != 200) {
            m_service->enqueue("GET", "/v1/qelts", Reply::text(status, QByteArray(600, 'x')));
            const QString line = QString("Forbidden: %1\\):.* x{500}\\.\\.\\.$").arg(int(status == 401));
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(line));
        }
        m_controller->onSyncTimer(); // the last tick's list was long ago
        QVERIFY(m_controller->isListing());
        QTRY_VERIFY(!m_controller->isListing());
        QCOMPARE(refused.count(), status == 401 ? 1 : 0);
        m_controller->onSyncTimer();
        QTEST(m_controller->isListing(), "listsAgain");
    }

    void editWatchListsUntilTheEditShows_data()
    {
        QTest::addColumn<int>("patchStatus");
        QTest::addColumn<int>("lifetimeMs");
        QTest::newRow("the service shows the edit") << 200 << 3600000;
        QTest::newRow("the edit's time runs out") << 500 << 0;
        QTest::newRow("not shown yet: lists on") << 500 << 3600000;
    }
    void editWatchListsUntilTheEditShows()
    {
        QFETCH(int, patchStatus);
        QFETCH(int, lifetimeMs);
        start({30000, 300000, 10, lifetimeMs});
        m_account->failNext(AccountCall::Patch, 1000, patchStatus == 200 ? 0 : patchStatus);
        m_controller->editQeltText("q1", "edited");
        QTRY_VERIFY(patchStatus == 200 || lifetimeMs == 0
                        ? !m_controller->isWatchingEdits()
                        : lists().size() >= 4 && m_controller->isWatchingEdits());
    }

    void listsAskForWhatChanged_data()
    {
        QTest::addColumn<QString>("step");
        QTest::addColumn<QString>("first"); // "modified_after" of the two lists after the step
        QTest::addColumn<QString>("second");
        const QString known = "2024-01-01T00:00:02Z";
        QTest::newRow("next run, from the file") << "restart" << known << known;
        QTest::newRow("same user again: whole list") << "again" << QString() << "2024-01-01T00:00:03Z";
        QTest::newRow("a deletion on the web") << "web" << known << "2024-01-01T00:00:03Z";
        QTest::newRow("nothing: the empty page keeps it") << "" << known << known;
        QTest::newRow("an unreadable element") << "unreadable" << known << known;
    }
    void listsAskForWhatChanged()
    {
        QFETCH(QString, step);
        m_account->add("q2");
        start();
        m_controller->saveToDisk();
        const QString file = m_controller->qeltsFilePath();
        step == "again" ? m_account->delayNext(AccountCall::Patch, 1, -1)
                        : m_account->failNext(AccountCall::Patch, 1, 500); // no list sees it
        m_controller->editQeltText("q1", "x");
        QTRY_VERIFY(calls("PATCH") == 1 && !m_controller->isListing());
        const int before = lists().size();
        if (step == "restart")
            start();
        if (step == "again") {
            m_controller->setUser("me@example.org", "t0k");
            QVERIFY(m_controller->count() == 0 && !m_controller->isSyncing()); // nor the edit
        }
        if (step == "web")
            m_account->remove("q2");
        if (step == "unreadable")
            m_account->add("q3").createdAt = QDateTime();
        QTRY_VERIFY(lists().size() >= before + 2 ? !m_controller->isListing()
                                                 : (m_controller->startSync(), false));
        QTEST(lists().at(before).queryItem("modified_after"), "first");
        QTEST(lists().at(before + 1).queryItem("modified_after"), "second");
        QVERIFY(QFile::exists(file) == (step != "again") && m_controller->count() == (step == "web" ? 1 : 2));
    }

    // A Qelt made here is newer than changes on the web that no list has reported yet.
    void aRestartAsksFromTheLastPageMerged_data()
    {
        QTest::addColumn<QString>("madeHere");
        QTest::newRow("typed text") << "text";
        QTest::newRow("capture") << "capture";
    }
    void aRestartAsksFromTheLastPageMerged()
    {
        QFETCH(QString, madeHere);
        m_account->add("q2");
        start();
        m_account->remove("q2");
        if (madeHere == "text") {
            QSignalSpy created(m_controller.get(), &QeltsController::showCreatedQelt);
            m_controller->createTextQelt("y", false);
            QTRY_COMPARE(created.count(), 1);
        } else {
            m_controller->addQelt(makeQelt("capture", QDateTime::currentSecsSinceEpoch()), true);
        }
        m_controller->saveToDisk();
        const int before = lists().size();
        start();
        QCOMPARE(lists().at(before).queryItem("modified_after"), QString("2024-01-01T00:00:02Z"));
        QVERIFY(!m_controller->qeltById("q2"));
        QCOMPARE(m_controller->count(), 2);
    }

    // A save that fails leaves the cursor with the Qelts saved last: what came after is asked for again.
    void aFailedSaveKeepsTheCursorOfTheSavedQelts()
    {
        m_account->add("q2");
        start();
        m_controller->saveToDisk();
        const QString file = m_controller->qeltsFilePath();
        m_account->remove("q2");
        m_controller->startSync();
        QTRY_VERIFY(!m_controller->isListing() && !m_controller->qeltById("q2"));
        // A folder in the file's place fails the save; the file saved before is put back after it.
        QVERIFY(QFile::rename(file, file + ".kept") && QDir().mkdir(file));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Can't write qelts list to disk"));
        m_controller->saveToDisk();
        QVERIFY(QDir().rmdir(file) && QFile::rename(file + ".kept", file));
        const int before = lists().size();
        start();
        QCOMPARE(lists().at(before).queryItem("modified_after"), QString("2024-01-01T00:00:02Z"));
        QVERIFY(!m_controller->qeltById("q2"));
    }

    // A Qelts file that does not read whole keeps what was read before the damage, offline too; the file
    // goes aside where no save overwrites it, and the next list asks for everything.
    void aDamagedFileKeepsWhatWasReadAndIsSetAside_data()
    {
        QTest::addColumn<QByteArray>("file"); // empty: a folder in its place
        QTest::addColumn<QStringList>("kept");
        const QByteArray q1 = qeltRecord(*makeQelt("q1", 10));
        QTest::newRow("cut short") << fields(qint32(2)) + q1 + qeltRecord(*makeQelt("q2", 20)).left(25)
                                   << QStringList{"q1"};
        QTest::newRow("another version") << fields(qint32(3)) + q1 << QStringList{};
        QTest::newRow("garbage") << QByteArray(300, '\xa5') << QStringList{};
        QTest::newRow("a folder in its place") << QByteArray() << QStringList{};
    }
    void aDamagedFileKeepsWhatWasReadAndIsSetAside()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, kept);
        m_account->add("q2");
        const QString hex = QeltsController::userHex("me@example.org");
        const QString path = QStringLiteral("%1/qelts-%2.dat").arg(utils::statePath(), hex);
        QFile stored(path);
        QVERIFY(file.isEmpty() ? QDir().mkpath(path) : stored.open(QIODevice::WriteOnly));
        if (!file.isEmpty())
            stored.write(file);
        stored.close();
        // The cursor saved with the file speaks for Qelts that are no longer read.
        SettingKey<QString>("LISTV1-" + hex, QString()).set("2024-01-01T00:00:02Z");
        const QDir state(utils::statePath());
        auto removeAside = qScopeGuard([&] {
            for (const QString& name :
                 state.entryList({"qelts-*.damaged-*"}, QDir::AllEntries | QDir::Hidden))
                QFileInfo(state.filePath(name)).isDir() ? QDir(state.filePath(name)).removeRecursively()
                                                        : QFile::remove(state.filePath(name));
        });

        APIHandler::overrideNetworkAvailabilityForTesting(false);
        m_controller = std::make_unique<QeltsController>(nullptr, &m_manager);
        QSignalSpy forbidden(m_controller.get(), &QeltsController::receivedForbidden);
        m_controller->setUser("me@example.org", "t0k");
        QStringList ids;
        for (const ZorvaneQeltPtr& qelt : m_controller->allQelts())
            ids << qelt->id;
        QCOMPARE(ids, kept);
        QCOMPARE(forbidden.count(), 0);
        const QStringList aside = state.entryList({"qelts-" + hex + ".dat.damaged-*"}, QDir::AllEntries);
        QCOMPARE(aside.size(), 1);
        QFile damaged(state.filePath(aside.first()));
        QCOMPARE(damaged.open(QIODevice::ReadOnly) ? damaged.readAll() : QByteArray(), file);
        m_controller->saveToDisk(); // what was kept, in a file of its own
        QeltsContainer saved(nullptr);
        QVERIFY(saved.load(path));
        QCOMPARE(saved.count(), kept.size());

        APIHandler::overrideNetworkAvailabilityForTesting(true);
        m_controller->startSync();
        QTRY_VERIFY(!lists().isEmpty() && !m_controller->isListing());
        QVERIFY(!QUrlQuery(lists().first().query).hasQueryItem("modified_after"));
        QCOMPARE(m_controller->count(), 2);
        QCOMPARE(state.entryList({"qelts-" + hex + ".dat.damaged-*"}, QDir::AllEntries), aside);
    }

    void aDeletionCutShortByACrashStaysDeletedOffline()
    {
        m_account->add("q2");
        start();
        m_controller->saveToDisk();
        m_controller.reset();
        QProcess probe;
        probe.start(ZQ_LIBRARY_PROBE, {"me@example.org", "t0k", "q1"});
        QVERIFY(probe.waitForFinished(60000));
        QCOMPARE(probe.exitStatus(), QProcess::CrashExit);
        APIHandler::overrideNetworkAvailabilityForTesting(false);
        m_controller = std::make_unique<QeltsController>(nullptr, &m_manager);
        m_controller->setUser("me@example.org", "t0k");
        QVERIFY(!m_controller->qeltById("q1"));
        QCOMPARE(m_controller->count(), 1);
        QCOMPARE(m_controller->pendingDeletions(), std::set<QString>{"q1"});
    }

    void anUnusableDataFolderLeavesTheLibraryInMemory_data()
    {
        QTest::addColumn<QString>("blocked"); // made a file under a fresh data home
        QTest::newRow("data folder is a file") << "Zorvane/Zorvane Qelting Tool";
        QTest::newRow("its parent is a file") << "Zorvane";
        QTest::newRow("state folder is a file") << "Zorvane/Zorvane Qelting Tool/state";
    }
    void anUnusableDataFolderLeavesTheLibraryInMemory()
    {
        QFETCH(QString, blocked);
        QTemporaryDir home;
        QVERIFY(QDir().mkpath(QFileInfo(home.filePath(blocked)).path()));
        QVERIFY(QFile(home.filePath(blocked)).open(QIODevice::WriteOnly));
        const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.path()));
        g_critical.clear();
        g_previousHandler = qInstallMessageHandler(recordCritical);
        auto restore = qScopeGuard([&] {
            qInstallMessageHandler(g_previousHandler);
            qputenv("XDG_DATA_HOME", dataHome);
        });

        start(); // alive, and listing
        QeltsImageController* images = m_controller->imageController();
        images->loadIndex();
        const QString original = m_controller->qeltById("q1")->originalImageUrl;
        QVERIFY(images->originalListImage("q1", original, true).isMissing());
        m_controller->removeQelt("q1");
        QTRY_VERIFY(m_controller->pendingDeletions().empty());
        QVERIFY(m_account->find("q1")->deleted);
        QPixmap captured(4, 4); // a capture's picture, kept nowhere
        captured.fill(Qt::red);
        for (const char* id : {"c1", "c2"})
            QVERIFY(m_controller->addQelt(makeQelt(id, QDateTime::currentSecsSinceEpoch()), true, captured));
        m_controller->saveToDisk();
        QMetaObject::invokeMethod(
            images->downloader(), [] {}, Qt::BlockingQueuedConnection);
        QCOMPARE(images->downloader()->pendingCount() + images->downloader()->inFlightCount(), 0);
        QCOMPARE(m_service->requestsTo(QUrl(original).path()).size(), 0);
        QDirIterator files(home.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        QCOMPARE(files.next(), home.filePath(blocked));
        QVERIFY(!files.hasNext());
        QCOMPARE(g_critical.size(), 1);
    }

    // A data folder or home that cannot be written still shows the Qelts and images it holds, and
    // changes nothing in it.
    void aReadOnlyDataFolderShowsWhatItHolds_data()
    {
        QTest::addColumn<QString>("readOnly"); // under a fresh data home
        QTest::newRow("data folder") << "Zorvane/Zorvane Qelting Tool";
        QTest::newRow("data home") << "";
    }
    void aReadOnlyDataFolderShowsWhatItHolds()
    {
        QFETCH(QString, readOnly);
        QTemporaryDir home;
        const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.path()));
        auto restore = qScopeGuard([&] { qputenv("XDG_DATA_HOME", dataHome); });
        start();
        auto capture = makeQelt("c1", QDateTime::currentSecsSinceEpoch());
        capture->originalImageUrl = "http://img/c1/o.png";
        QPixmap captured(4, 2);
        captured.fill(Qt::red);
        QVERIFY(m_controller->addQelt(capture, true, captured));
        m_controller->saveToDisk();
        m_controller.reset();
        const auto tree = [&home] {
            QStringList items;
            QDirIterator it(home.path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                            QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QFileInfo info(it.next());
                items << info.filePath() + "|" + QString::number(info.size()) + "|" +
                             info.lastModified().toString(Qt::ISODateWithMs);
            }
            items.sort();
            return items;
        };
        const QStringList before = tree();
        ReadOnlyFolder folder(home.filePath(readOnly));
        if (!folder.failure().isEmpty())
            QSKIP(qPrintable(folder.failure()));

        APIHandler::overrideNetworkAvailabilityForTesting(false);
        m_controller = std::make_unique<QeltsController>(nullptr, &m_manager);
        m_controller->setUser("me@example.org", "t0k");
        QVERIFY(m_controller->qeltById("q1"));
        QCOMPARE(m_controller->count(), 2);
        QeltsImageController* images = m_controller->imageController();
        images->loadIndex();
        const ImageEntry original = images->originalImage("c1", capture->originalImageUrl, false);
        QCOMPARE(original.size, QSize(4, 2));
        QCOMPARE(QImage(original.file).size(), QSize(4, 2));
        m_controller->removeQelt("q1");
        m_controller->saveToDisk();
        QCOMPARE(tree(), before);
    }

    // A call redirected, or taken by a service that never answers (and so given up after its time limit),
    // fails and loses nothing: the next tick does it again.
    void failedCallsLoseNothing_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<bool>("stalled"); // else redirected
        for (const char* call : {"list", "create", "patch", "delete", "delete all"}) {
            QTest::newRow(qPrintable(QString(call) + ", redirected")) << call << false;
            QTest::newRow(qPrintable(QString(call) + ", never answered")) << call << true;
        }
    }
    void failedCallsLoseNothing()
    {
        QFETCH(QString, call);
        QFETCH(bool, stalled);
        m_account->add("q2");
        start();
        const QMap<QString, AccountCall> calls{{"list", AccountCall::List},
                                               {"create", AccountCall::Create},
                                               {"patch", AccountCall::Patch},
                                               {"delete", AccountCall::Delete},
                                               {"delete all", AccountCall::DeleteAll}};
        if (call == "list")
            m_account->remove("q2"); // a change the failed list's page carries
        SilentService silent;
        if (!stalled) {
            m_account->redirectNext(calls.value(call), 1);
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Redirect not followed, HTTP status 302"));
        }
        // The call goes out inside build.
        const auto fail = [&](const std::function<void()>& build) {
            stalled ? silent.stall(build) : build();
        };
        QSignalSpy failedAll(m_controller.get(), &QeltsController::failedToRemoveAllQelts);
        QSignalSpy created(m_controller.get(), &QeltsController::showCreatedQelt);
        const int before = lists().size();
        const int sentAgain = stalled ? 1 : 2; // the stalled call went to the silent service
        if (call == "list") {
            // Listed on the worker thread: the stall lasts until the list is over.
            if (stalled)
                silent.beginStall();
            m_controller->startSync();
            QTRY_VERIFY(!m_controller->isListing());
            silent.endStall();
            QCOMPARE(m_controller->count(), 2);
            m_controller->startSync(); // asks for the same changes again, and takes them
            QTRY_VERIFY(lists().size() == before + sentAgain && !m_controller->isListing());
            QCOMPARE(lists().last().queryItem("modified_after"), QString("2024-01-01T00:00:02Z"));
            QCOMPARE(m_controller->count(), 1);
        } else if (call == "create") {
            fail([&] { m_controller->createTextQelt("y", false); });
            QTRY_VERIFY(!m_controller->isSyncing());
            QCOMPARE(m_service->requestsTo("/v1/qelts/text").size(), stalled ? 0 : 1);
            QCOMPARE(created.count(), 0);
            QCOMPARE(m_controller->count(), 2);
        } else if (call == "patch") {
            // A tick that lists now, so that the next ones send without listing.
            m_controller->onSyncTimer();
            QTRY_VERIFY(!m_controller->isListing());
            fail([&] {
                m_controller->editQeltText("q1", "edited");
                m_controller->onSyncTimer();
            });
            QTRY_VERIFY((m_controller->onSyncTimer(), m_controller->editQueue().isEmpty()));
            QCOMPARE(this->calls("PATCH"), sentAgain);
            QCOMPARE(m_account->find("q1")->text, QString("edited"));
        } else if (call == "delete") {
            fail([&] { m_controller->removeQelt("q1"); });
            QTRY_VERIFY((m_controller->onSyncTimer(), m_controller->pendingDeletions().empty()));
            QCOMPARE(this->calls("DELETE"), sentAgain);
            QVERIFY(m_account->find("q1")->deleted);
        } else {
            fail([&] { m_controller->removeAllQelts(); });
            QTRY_VERIFY(failedAll.count() == 1 && !m_controller->isSyncing());
            QCOMPARE(m_controller->count(), 2);
            QVERIFY(!m_account->find("q1")->deleted);
        }
    }
};

ZQ_TEST_MAIN(TestQeltsSync)
#include "test_qelts_sync.moc"
