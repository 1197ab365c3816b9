// The updater against the fake site: versions, the roll-out, the checks of a download, the idle gate, the
// count of silent attempts, and the swap of a temporary program file with its rollback.
#include "api/ApiTestSupport.h"

#include "api/APIHandler.h"
#include "app/flows/AppInterface.h"
#include "app/flows/UpdateController.h"
#include "app/flows/UpdateNotice.h"
#include "core/settings.h"
#include "core/userState.h"
#include "support/FailingDevice.h"
#include "support/TestMain.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <climits>

using zq::test::Reply;
using zq::test::ScopedFakeService;

namespace {

const QString kAppVersion = QStringLiteral("03.00.0128");
const QString kNewVersion = QStringLiteral("03.00.0129");
const QString kManifestPath = QStringLiteral("/lin_app/version.json");
const QString kDownloadPath = QStringLiteral("/download/new.AppImage");

class TestApp : public AppInterface
{
public:
    bool idle = true;
    mutable int asked = 0;
    bool IsIdle() const override
    {
        ++asked;
        return idle;
    }
};

QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (QFileInfo(path).isDir())
        return "<dir>";
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

bool writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray manifest(const QString& version, int percent, const QString& url = "{site}" + kDownloadPath)
{
    return QJsonDocument(QJsonObject{{"version", version}, {"percent", percent}, {"url", url}}).toJson();
}

UpdateIntervals quickIntervals()
{
    UpdateIntervals intervals;
    intervals.firstCheckMs = INT_MAX;
    intervals.checkMs = INT_MAX;
    intervals.installPollMs = 1;
    intervals.awayMs = 0;
    intervals.giveUpMs = LLONG_MAX / 2;
    return intervals;
}

} // namespace

class TestUpdateController : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScopedFakeService> m_service;
    std::unique_ptr<QTemporaryDir> m_folder;
    TestApp m_app;
    QString m_appImage;
    QString m_dataFolder;
    QByteArray m_program; // a program that answers the probe, marked as the new version

    std::unique_ptr<UpdateController> makeController(const UpdateIntervals& intervals = quickIntervals())
    {
        return std::make_unique<UpdateController>(
            kAppVersion, ZorvaneAPI::Provider::instance().networkAccessManager(), &m_app, nullptr, intervals);
    }

    QString setupPath() const { return m_dataFolder + "/setup"; }

    // How a check ended: "completed" when the new program was swapped in, else the result's number.
    static QString outcome(QSignalSpy& finished, QSignalSpy& completed)
    {
        if (!QTest::qWaitFor([&] { return finished.count() + completed.count() > 0; }, 20000))
            return "none";
        if (completed.count() > 0)
            return "completed";
        return QString::number(finished.first().first().value<CheckUpdateResult>());
    }

    // A user-started check that leaves the new program downloaded and offered.
    bool downloadAndOffer(UpdateController& controller)
    {
        QSignalSpy finished(&controller, &UpdateController::CheckUpdateFinished);
        QSignalSpy completed(&controller, &UpdateController::UpdateCompleted);
        controller.UserCheckUpdate();
        return outcome(finished, completed) == QString::number(UpdateReady) && QFile::exists(setupPath());
    }

private slots:
    void initTestCase()
    {
        APIHandler::init(ZorvaneAPI::Provider::instance().networkAccessManager());
        APIHandler::setLogFlushIntervalForTesting(3600000);
        QFile standIn(qEnvironmentVariable("ZQ_UPDATE_STANDIN"));
        QVERIFY2(standIn.open(QIODevice::ReadOnly), qPrintable(standIn.fileName()));
        m_program = standIn.readAll() + "NEW";
        m_dataFolder = QStandardPaths::standardLocations(QStandardPaths::AppLocalDataLocation).value(0);
        QVERIFY(!m_dataFolder.isEmpty());
    }

    void init()
    {
        zq::test::clearSettings();
        kKeyUpdatePercent.set(50);
        APIHandler::overrideNetworkAvailabilityForTesting(true);
        QDir(m_dataFolder).removeRecursively();
        m_folder = std::make_unique<QTemporaryDir>();
        m_appImage = m_folder->filePath("Zorvane.AppImage");
        QVERIFY(writeFile(m_appImage, "OLD"));
        qputenv("APPIMAGE", m_appImage.toUtf8());
        m_app = TestApp();
        m_service = std::make_unique<ScopedFakeService>();
        m_service->on(
            "GET", kManifestPath,
            Reply::raw(manifest(kNewVersion, 100, m_service->baseUrl() + kDownloadPath), "application/json"));
        m_service->on("GET", kDownloadPath, Reply::raw(m_program));
    }

    void cleanup()
    {
        m_service.reset();
        m_folder.reset();
        qunsetenv("APPIMAGE");
        qunsetenv("ZQ_STANDIN_EXIT");
        APIHandler::overrideNetworkAvailabilityForTesting(std::nullopt);
    }

    void checkEndsAsTheManifestAndTheDownloadSay_data()
    {
        QTest::addColumn<QByteArray>("manifestBody");
        QTest::addColumn<int>("manifestStatus");
        QTest::addColumn<QByteArray>("downloadBody");
        QTest::addColumn<int>("rollout");
        QTest::addColumn<QString>("how"); // "user", "staff", "offline", "failing probe" or ""
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("downloads");
        const auto row = [](const char* name, const QByteArray& manifestBody, int rollout, const char* how,
                            int expected, int downloads, const QByteArray& download = "{program}",
                            int status = 200) {
            QTest::newRow(name) << manifestBody << status << download << rollout << QString(how)
                                << (expected < 0 ? QString("completed") : QString::number(expected))
                                << downloads;
        };
        row("same version", manifest(kAppVersion, 100), 0, "", UpToDate, 0);
        row("lower version", manifest("02.99.9999", 100), 0, "", UpToDate, 0);
        row("newer, for everybody", manifest(kNewVersion, 100), 98, "", -1, 1);
        row("percent 30, this installation 30", manifest(kNewVersion, 30), 30, "", -1, 1);
        row("percent 30, this installation 31", manifest(kNewVersion, 30), 31, "", RolloutPercentTooSmall, 0);
        row("percent 30, 31, asked by the user", manifest(kNewVersion, 30), 31, "user", UpdateReady, 1);
        row("percent 0, staff", manifest(kNewVersion, 0), 31, "staff", -1, 1);
        row("production address rewritten", manifest(kNewVersion, 100, "https://zorvane.com" + kDownloadPath),
            0, "", -1, 1);
        row("offline", manifest(kNewVersion, 100), 0, "offline", NoNetwork, 0);
        row("manifest not JSON", "<html>", 0, "", InvalidResponse, 0);
        row("manifest a JSON array", "[1,2]", 0, "", InvalidResponse, 0);
        row("manifest fails", manifest(kNewVersion, 100), 0, "", NetworkFailure, 0, "{program}", 500);
        row("manifest redirects", manifest(kNewVersion, 100), 0, "", NetworkFailure, 0, "{program}", 302);
        row("plain http elsewhere", manifest(kNewVersion, 100, "http://localhost:{port}" + kDownloadPath), 0,
            "", InvalidResponse, 0);
        row("download empty", manifest(kNewVersion, 100), 0, "", DownloadFailed, 1, "");
        row("download a web page", manifest(kNewVersion, 100), 0, "", DownloadFailed, 1,
            "<html>login</html>");
        row("ELF header, no program", manifest(kNewVersion, 100), 0, "", DownloadFailed, 1,
            "\x7f"
            "ELF\2\1\1junk");
        row("program fails its probe", manifest(kNewVersion, 100), 0, "failing probe", DownloadFailed, 1);
    }

    void checkEndsAsTheManifestAndTheDownloadSay()
    {
        QFETCH(QByteArray, manifestBody);
        QFETCH(int, manifestStatus);
        QFETCH(QByteArray, downloadBody);
        QFETCH(int, rollout);
        QFETCH(QString, how);
        QFETCH(QString, expected);
        QFETCH(int, downloads);
        manifestBody.replace("{site}", m_service->baseUrl().toUtf8())
            .replace("{port}", QByteArray::number(m_service->port()));
        m_service->on("GET", kManifestPath, Reply::raw(manifestBody, "application/json", manifestStatus));
        m_service->on("GET", kDownloadPath, Reply::raw(downloadBody.replace("{program}", m_program)));
        kKeyUpdatePercent.set(rollout);
        if (how == "staff")
            utils::setAuthInfo("dev@zorvane.com", "t0k");
        if (how == "offline")
            APIHandler::overrideNetworkAvailabilityForTesting(false);
        if (how == "failing probe")
            qputenv("ZQ_STANDIN_EXIT", "3");
        auto controller = makeController();
        QCOMPARE(controller->rolloutPercent(), rollout);
        QSignalSpy finished(controller.get(), &UpdateController::CheckUpdateFinished);
        QSignalSpy completed(controller.get(), &UpdateController::UpdateCompleted);

        if (how == "user")
            controller->UserCheckUpdate();
        else
            controller->checkForUpdate();

        QCOMPARE(outcome(finished, completed), expected);
        QCOMPARE(m_service->requestsTo(kManifestPath).size(), how == "offline" ? 0 : 1);
        QCOMPARE(m_service->requestsTo(kDownloadPath).size(), downloads);
        QCOMPARE(readFile(m_appImage), expected == "completed" ? m_program : QByteArray("OLD"));
        QCOMPARE(QFile::exists(setupPath()), expected == QString::number(UpdateReady));
        if (expected == "completed")
            QCOMPARE(readFile(setupPath() + ".prev"), QByteArray("OLD"));
        QCOMPARE(finished.count() + completed.count(), 1);
    }

    void installWaitsForAnIdleApplication()
    {
        m_app.idle = false;
        auto controller = makeController();
        QSignalSpy completed(controller.get(), &UpdateController::UpdateCompleted);
        QSignalSpy finished(controller.get(), &UpdateController::CheckUpdateFinished);
        controller->checkForUpdate();
        QTRY_VERIFY(m_app.asked >= 3);
        QVERIFY(controller->isWaitingToInstall());
        QCOMPARE(readFile(m_appImage), QByteArray("OLD"));

        m_app.idle = true;
        QTRY_COMPARE(completed.count(), 1);
        QCOMPARE(readFile(m_appImage), m_program);
        QCOMPARE(finished.count(), 0);
        QVERIFY(!controller->isWaitingToInstall());
    }

    void installWaitsUntilTheUserIsAway()
    {
        UpdateIntervals intervals = quickIntervals();
        intervals.awayMs = LLONG_MAX / 4;
        auto controller = makeController(intervals);
        QSignalSpy completed(controller.get(), &UpdateController::UpdateCompleted);
        controller->checkForUpdate();
        QTRY_VERIFY(m_app.asked >= 3);
        QCOMPARE(completed.count(), 0);
        QCOMPARE(readFile(m_appImage), QByteArray("OLD"));

        // The user who asks meanwhile is offered the waiting update at once, without a second download.
        QSignalSpy finished(controller.get(), &UpdateController::CheckUpdateFinished);
        controller->UserCheckUpdate();
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.first().first().value<CheckUpdateResult>(), UpdateReady);
        QCOMPARE(m_service->requestsTo(kDownloadPath).size(), 1);
        controller->RunUpdate();
        QCOMPARE(completed.count(), 1);
        QCOMPARE(readFile(m_appImage), m_program);
    }

    void noIdleMomentInTimeOffersTheUpdate()
    {
        m_app.idle = false;
        UpdateIntervals intervals = quickIntervals();
        intervals.giveUpMs = 0;
        auto controller = makeController(intervals);
        QSignalSpy finished(controller.get(), &UpdateController::CheckUpdateFinished);
        QSignalSpy completed(controller.get(), &UpdateController::UpdateCompleted);
        controller->checkForUpdate();
        QCOMPARE(outcome(finished, completed), QString::number(UpdateReady));
        QCOMPARE(readFile(m_appImage), QByteArray("OLD"));
    }

    void silentInstallsOfOneVersionStopAfterThree_data()
    {
        QTest::addColumn<QString>("lastVersion");
        QTest::addColumn<int>("lastCount");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("countAfter");
        QTest::newRow("first download") << "" << 0 << "completed" << 1;
        QTest::newRow("third download") << kNewVersion << 2 << "completed" << 3;
        QTest::newRow("fourth download") << kNewVersion << 3 << QString::number(UpdateReady) << 3;
        QTest::newRow("another version's attempts") << "03.00.0127" << 3 << "completed" << 1;
        QTest::newRow("the running version's attempts are forgotten") << kAppVersion << 5 << "completed" << 1;
    }

    void silentInstallsOfOneVersionStopAfterThree()
    {
        QFETCH(QString, lastVersion);
        QFETCH(int, lastCount);
        QFETCH(QString, expected);
        QFETCH(int, countAfter);
        if (!lastVersion.isEmpty()) {
            kKeyLastUpdateVersion.set(lastVersion);
            kKeyLastUpdateCount.set(lastCount);
        }
        auto controller = makeController();
        QCOMPARE(kKeyLastUpdateVersion.contains(), !lastVersion.isEmpty() && lastVersion != kAppVersion);
        QSignalSpy finished(controller.get(), &UpdateController::CheckUpdateFinished);
        QSignalSpy completed(controller.get(), &UpdateController::UpdateCompleted);
        controller->checkForUpdate();
        QCOMPARE(outcome(finished, completed), expected);
        QCOMPARE(kKeyLastUpdateVersion.get(), kNewVersion);
        QCOMPARE(kKeyLastUpdateCount.get(), countAfter);
        QVERIFY(!controller->hasPeriodicCheck());
    }

    void rolloutNumberIsDrawnOncePerInstallation()
    {
        kKeyUpdatePercent.remove();
        const int drawn = makeController()->rolloutPercent();
        QVERIFY(drawn >= 0 && drawn <= 98);
        QCOMPARE(kKeyUpdatePercent.get(), drawn);
        QCOMPARE(makeController()->rolloutPercent(), drawn);
    }

    void checksByItselfAfterStart()
    {
        UpdateIntervals intervals = quickIntervals();
        intervals.firstCheckMs = 0;
        m_service->on("GET", kManifestPath, Reply::raw(manifest(kAppVersion, 100), "application/json"));
        auto controller = makeController(intervals);
        QSignalSpy finished(controller.get(), &UpdateController::CheckUpdateFinished);
        QTRY_COMPARE(finished.count(), 1);
        QCOMPARE(m_service->requestsTo(kManifestPath).size(), 1);
        QVERIFY(controller->hasPeriodicCheck());
    }

    void aCheckWhileOneIsOnItsWayTakesItsOutcome()
    {
        m_service->on("GET", kManifestPath,
                      Reply::raw(manifest(kAppVersion, 100), "application/json").withDelay(10));
        auto controller = makeController();
        QSignalSpy finished(controller.get(), &UpdateController::CheckUpdateFinished);
        controller->checkForUpdate();
        controller->UserCheckUpdate();
        QTRY_COMPARE(finished.count(), 1);
        QCOMPARE(finished.first().first().value<CheckUpdateResult>(), UpToDate);
        QCOMPARE(m_service->requestsTo(kManifestPath).size(), 1);
    }

    void swapReplacesTheProgramOrPutsEverythingBack_data()
    {
        QTest::addColumn<QString>("appImage"); // "", "unset" or "missing"
        QTest::addColumn<QByteArray>("prevBefore");
        QTest::addColumn<QByteArray>("bakBefore");
        QTest::addColumn<int>("failingRename");
        QTest::addColumn<QByteArray>("appImageAfter");
        QTest::addColumn<QByteArray>("prevAfter");
        QTest::addColumn<QByteArray>("bakAfter");
        QTest::addColumn<QString>("error");
        const QByteArray none = "<none>";
        const QByteArray fresh = "{program}";
        QTest::newRow("first update") << "" << none << none << 0 << fresh << QByteArray("OLD") << none << "";
        QTest::newRow("older copies move along") << "" << QByteArray("PREV") << QByteArray("BAK") << 0
                                                 << fresh << QByteArray("OLD") << QByteArray("PREV") << "";
        QTest::newRow("keeping prev fails") << "" << QByteArray("PREV") << none << 1 << QByteArray("OLD")
                                            << QByteArray("PREV") << none << "Can't rename file";
        QTest::newRow("moving the program aside fails")
            << "" << QByteArray("PREV") << none << 2 << QByteArray("OLD") << QByteArray("PREV") << none
            << "Can't rename file";
        QTest::newRow("putting the new program in place fails")
            << "" << QByteArray("PREV") << none << 3 << QByteArray("OLD") << QByteArray("PREV") << none
            << "Can't rename file";
        QTest::newRow("the first rename fails without prev")
            << "" << none << none << 1 << QByteArray("OLD") << none << none << "Can't rename file";
        QTest::newRow("a folder in the way of bak")
            << "" << QByteArray("PREV") << QByteArray("<dir>") << 0 << QByteArray("OLD") << QByteArray("PREV")
            << QByteArray("<dir>") << "Can't rename file";
        QTest::newRow("no APPIMAGE") << "unset" << none << none << 0 << QByteArray("OLD") << none << none
                                     << "APPIMAGE environment variable is empty";
        QTest::newRow("program file gone")
            << "missing" << none << none << 0 << none << none << none << "AppImage file doesn't exist: ";
    }

    void swapReplacesTheProgramOrPutsEverythingBack()
    {
        QFETCH(QString, appImage);
        QFETCH(QByteArray, prevBefore);
        QFETCH(QByteArray, bakBefore);
        QFETCH(int, failingRename);
        QFETCH(QByteArray, appImageAfter);
        QFETCH(QByteArray, prevAfter);
        QFETCH(QByteArray, bakAfter);
        QFETCH(QString, error);
        auto controller = makeController();
        QVERIFY(downloadAndOffer(*controller));

        const QString prev = setupPath() + ".prev";
        const QString bak = prev + ".bak";
        if (prevBefore != "<none>")
            QVERIFY(writeFile(prev, prevBefore));
        if (bakBefore == "<dir>")
            QVERIFY(QDir().mkpath(bak + "/inside"));
        else if (bakBefore != "<none>")
            QVERIFY(writeFile(bak, bakBefore));
        if (appImage == "unset")
            qunsetenv("APPIMAGE");
        if (appImage == "missing")
            QVERIFY(QFile::remove(m_appImage));
        int renames = 0;
        controller->setRenameForTesting([&](const QString& from, const QString& to) {
            return ++renames != failingRename && QFile::rename(from, to);
        });
        QSignalSpy completed(controller.get(), &UpdateController::UpdateCompleted);
        QSignalSpy failed(controller.get(), &UpdateController::updateFailed);

        controller->RunUpdate();

        QCOMPARE(completed.count(), error.isEmpty() ? 1 : 0);
        QCOMPARE(failed.count(), error.isEmpty() ? 0 : 1);
        if (!error.isEmpty())
            QVERIFY2(failed.first().first().toString().startsWith("Update failed.\n" + error),
                     qPrintable(failed.first().first().toString()));
        appImageAfter.replace("{program}", m_program);
        QCOMPARE(readFile(m_appImage), appImageAfter);
        QCOMPARE(readFile(prev), prevAfter);
        QCOMPARE(readFile(bak), bakAfter);
        // The download is kept only when it could not be put in place.
        QCOMPARE(QFile::exists(setupPath()), !error.isEmpty());
        QVERIFY(controller->updateFilePath().isEmpty());
    }

    void writeOfTheDownloadMustBeWhole_data()
    {
        QTest::addColumn<int>("failAt");
        QTest::addColumn<bool>("whole");
        QTest::newRow("disk full at once") << 0 << false;
        QTest::newRow("disk full midway") << 5 << false;
        QTest::newRow("room enough") << 100 << true;
    }

    void writeOfTheDownloadMustBeWhole()
    {
        QFETCH(int, failAt);
        QFETCH(bool, whole);
        zq::test::FailingDevice device(failAt);
        QCOMPARE(UpdateController::writeWhole(device, m_program.left(10)), whole);
    }

    void noticeTellsTheUserOnlyWhatTheyAskedFor_data()
    {
        QTest::addColumn<int>("result");
        QTest::addColumn<bool>("userAsked");
        QTest::addColumn<bool>("offer");
        QTest::addColumn<QString>("balloon");
        QTest::newRow("ready, periodic") << int(UpdateReady) << false << true << "New version is available.";
        QTest::newRow("ready, asked") << int(UpdateReady) << true << true << "New version is available.";
        QTest::newRow("failure, periodic") << int(NetworkFailure) << false << false << "";
        QTest::newRow("failure, asked")
            << int(NetworkFailure) << true << false << "Check for updates\nNetwork error";
        QTest::newRow("up to date, asked")
            << int(UpToDate) << true << false << "Check for updates\nAlready up-to-date";
        QTest::newRow("unknown, asked") << 42 << true << false << "Check for updates\nUnknown error";
    }

    void noticeTellsTheUserOnlyWhatTheyAskedFor()
    {
        QFETCH(int, result);
        QFETCH(bool, userAsked);
        QFETCH(bool, offer);
        QFETCH(QString, balloon);
        const UpdateNotice notice = updateNotice(CheckUpdateResult(result), userAsked);
        QCOMPARE(notice.offerUpdate, offer);
        QCOMPARE(notice.restoreCheckAction, !offer && userAsked);
        QVERIFY2(balloon.isEmpty() ? notice.balloon.isEmpty() : notice.balloon.startsWith(balloon),
                 qPrintable(notice.balloon));
        QCOMPARE(notice.actionText, offer ? "Update now" : userAsked ? "Check for Updates..." : "");
    }
};

ZQ_TEST_MAIN(TestUpdateController)
#include "test_update_controller.moc"
