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
#include "support/SilentService.h"
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
const QString kReady = QString::number(UpdateReady);

class TestApp : public AppInterface
{
public:
    bool idle = true;
    mutable int asked = 0;
    bool IsIdle() const override { return ++asked, idle; }
};

QByteArray manifest(const QString& version, int percent, const QString& url = "{site}" + kDownloadPath)
{
    return QJsonDocument(QJsonObject{{"version", version}, {"percent", percent}, {"url", url}}).toJson();
}

// The contents of a file; "-" when there is none, "dir" for a folder.
QByteArray contentOf(const QString& path)
{
    QFile file(path);
    if (QFileInfo(path).isDir())
        return "dir";
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("-");
}

void place(const QString& path, const QByteArray& content)
{
    if (content == "dir")
        QDir().mkpath(path + "/inside");
    else if (QFile file(path); content != "-" && file.open(QIODevice::WriteOnly))
        file.write(content);
}

} // namespace

class TestUpdateController : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScopedFakeService> m_service;
    std::unique_ptr<QTemporaryDir> m_folder;
    TestApp m_app;
    QString m_appImage;
    QString m_setup;
    QByteArray m_program; // answers the probe; marked as the new version

    static UpdateIntervals quick()
    {
        UpdateIntervals intervals;
        intervals.firstCheckMs = intervals.checkMs = INT_MAX;
        intervals.installPollMs = 1;
        intervals.awayMs = 0;
        intervals.giveUpMs = LLONG_MAX / 2;
        return intervals;
    }

    std::unique_ptr<UpdateController> makeController(const UpdateIntervals& intervals = quick())
    {
        return std::make_unique<UpdateController>(
            kAppVersion, ZorvaneAPI::Provider::instance().networkAccessManager(), &m_app, nullptr, intervals);
    }

    // How a check ended: "completed" when the new program was swapped in, else the result's number.
    static QString outcome(UpdateController& controller, const std::function<void()>& start)
    {
        QSignalSpy finished(&controller, &UpdateController::CheckUpdateFinished);
        QSignalSpy completed(&controller, &UpdateController::UpdateCompleted);
        start();
        if (!QTest::qWaitFor([&] { return finished.count() + completed.count() > 0; }, zq::test::kWaitMs))
            return "none";
        return completed.count() ? "completed"
                                 : QString::number(finished.first().first().value<CheckUpdateResult>());
    }

private slots:
    void initTestCase()
    {
        APIHandler::init(ZorvaneAPI::Provider::instance().networkAccessManager());
        APIHandler::setLogFlushIntervalForTesting(3600000);
        QFile standIn(qEnvironmentVariable("ZQ_UPDATE_STANDIN"));
        QVERIFY(standIn.open(QIODevice::ReadOnly));
        m_program = standIn.readAll() + "NEW";
        m_setup = QStandardPaths::standardLocations(QStandardPaths::AppLocalDataLocation).value(0) + "/setup";
    }

    void init()
    {
        zq::test::clearSettings();
        kKeyUpdatePercent.set(50);
        APIHandler::overrideNetworkAvailabilityForTesting(true);
        QDir(QFileInfo(m_setup).path()).removeRecursively();
        m_folder = std::make_unique<QTemporaryDir>();
        m_appImage = m_folder->filePath("Zorvane.AppImage");
        place(m_appImage, "OLD");
        qputenv("APPIMAGE", m_appImage.toUtf8());
        m_app = TestApp();
        m_service = std::make_unique<ScopedFakeService>();
        m_service->on("GET", kManifestPath,
                      Reply::raw(manifest(kNewVersion, 100, m_service->baseUrl() + kDownloadPath)));
        m_service->on("GET", kDownloadPath, Reply::raw(m_program));
    }

    void cleanup()
    {
        m_service.reset();
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
        // "user", "staff", "offline", "failing/hanging probe", "stalled manifest/download", "no APPIMAGE"
        // (also with "user") or ""
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("downloads");
        const auto row = [](const char* name, const QByteArray& body, int rollout, const char* how,
                            int expected, int downloads, const QByteArray& download = "{program}",
                            int status = 200) {
            QTest::newRow(name) << body << status << download << rollout << QString(how)
                                << (expected < 0 ? QString("completed") : QString::number(expected))
                                << downloads;
        };
        const QByteArray newer = manifest(kNewVersion, 100);
        row("same version", manifest(kAppVersion, 100), 0, "", UpToDate, 0);
        row("lower version", manifest("02.99.9999", 100), 0, "", UpToDate, 0);
        row("newer, for everybody", newer, 98, "", -1, 1);
        row("percent 30, this installation 30", manifest(kNewVersion, 30), 30, "", -1, 1);
        row("percent 30, this installation 31", manifest(kNewVersion, 30), 31, "", RolloutPercentTooSmall, 0);
        row("percent 30, 31, asked by the user", manifest(kNewVersion, 30), 31, "user", UpdateReady, 1);
        row("percent 0, staff", manifest(kNewVersion, 0), 31, "staff", -1, 1);
        row("production address rewritten", manifest(kNewVersion, 100, "https://zorvane.com" + kDownloadPath),
            0, "", -1, 1);
        row("offline", newer, 0, "offline", NoNetwork, 0);
        row("manifest not JSON", "<html>", 0, "", InvalidResponse, 0);
        row("manifest a JSON array", "[1,2]", 0, "", InvalidResponse, 0);
        row("manifest fails", newer, 0, "", NetworkFailure, 0, "{program}", 500);
        row("manifest redirects", newer, 0, "", NetworkFailure, 0, "{program}", 302);
        row("plain http elsewhere", manifest(kNewVersion, 100, "http://localhost:{port}" + kDownloadPath), 0,
            "", InvalidResponse, 0);
        row("download empty", newer, 0, "", DownloadFailed, 1, "");
        row("download a web page", newer, 0, "", DownloadFailed, 1, "<html>login</html>");
        row("ELF header, no program", newer, 0, "", DownloadFailed, 1,
            "\x7f"
            "ELF\2\1\1junk");
        row("program fails its probe", newer, 0, "failing probe", DownloadFailed, 1);
        row("program hangs on its probe", newer, 0, "hanging probe", DownloadFailed, 1);
        // A site that takes the request and never answers: the check ends, and the user's entry comes back.
        row("manifest never answered", newer, 0, "stalled manifest", NetworkFailure, 0);
        row("download never answered", newer, 0, "stalled download", DownloadFailed, 0);
        // Not run from an AppImage: no file here to replace, so nothing is fetched or offered.
        row("no APPIMAGE", newer, 0, "no APPIMAGE", InstalledElsewhere, 0);
        row("no APPIMAGE, asked by the user", newer, 0, "no APPIMAGE user", InstalledElsewhere, 0);
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
        zq::test::SilentService silent;
        if (how == "stalled manifest")
            silent.beginStall();
        if (how == "stalled download") {
            // The manifest is answered; the site that its download lies on has gone silent by then.
            m_service->on("GET", kManifestPath, [&](const zq::test::RecordedRequest&) {
                silent.beginStall();
                return Reply::raw(manifest(kNewVersion, 100, "https://zorvane.com" + kDownloadPath));
            });
        }
        if (how.startsWith("no APPIMAGE"))
            qunsetenv("APPIMAGE");
        kKeyUpdatePercent.set(rollout);
        if (how == "staff")
            utils::setAuthInfo("dev@zorvane.com", "t0k");
        APIHandler::overrideNetworkAvailabilityForTesting(how != "offline");
        UpdateIntervals intervals = quick();
        if (how == "hanging probe")
            intervals.probeTimeoutMs = 50;
        qputenv("ZQ_STANDIN_EXIT", how == "failing probe" ? "3" : how == "hanging probe" ? "hang" : "0");
        auto controller = makeController(intervals);
        QCOMPARE(controller->rolloutPercent(), rollout);

        QCOMPARE(outcome(*controller,
                         [&] {
                             how.endsWith("user") ? controller->UserCheckUpdate()
                                                  : controller->checkForUpdate();
                         }),
                 expected);
        silent.endStall();
        QCOMPARE(m_service->requestsTo(kManifestPath).size(),
                 how == "offline" || how == "stalled manifest" ? 0 : 1);
        QCOMPARE(m_service->requestsTo(kDownloadPath).size(), downloads);
        QCOMPARE(contentOf(m_appImage), expected == "completed" ? m_program : QByteArray("OLD"));
        QCOMPARE(contentOf(m_setup + ".prev"), expected == "completed" ? QByteArray("OLD") : QByteArray("-"));
        // Only a download that waits for the user stays on disk.
        QCOMPARE(QFile::exists(m_setup), expected == kReady);
    }

    void silentInstallWaitsForAnIdleMomentAndAnAbsentUser_data()
    {
        QTest::addColumn<bool>("idle");
        QTest::addColumn<qint64>("awayMs");
        QTest::addColumn<qint64>("giveUpMs");
        QTest::addColumn<QString>("then"); // what makes the waiting end
        QTest::newRow("busy, then idle") << false << qint64(0) << LLONG_MAX / 2 << "idle";
        QTest::newRow("user not away, asks") << true << LLONG_MAX / 4 << LLONG_MAX / 2 << "user asks";
        QTest::newRow("busy for too long") << false << qint64(0) << qint64(0) << "";
        QTest::newRow("silent install fails") << true << qint64(0) << LLONG_MAX / 2 << "";
    }

    void silentInstallWaitsForAnIdleMomentAndAnAbsentUser()
    {
        QFETCH(bool, idle);
        QFETCH(qint64, awayMs);
        QFETCH(qint64, giveUpMs);
        QFETCH(QString, then);
        m_app.idle = idle;
        UpdateIntervals intervals = quick();
        intervals.awayMs = awayMs;
        intervals.giveUpMs = giveUpMs;
        auto controller = makeController(intervals);
        if (QByteArray(QTest::currentDataTag()).contains("fails"))
            controller->setRenameForTesting([](const QString&, const QString&) { return false; });
        if (then.isEmpty()) {
            QCOMPARE(outcome(*controller, [&] { controller->checkForUpdate(); }), kReady);
            QCOMPARE(contentOf(m_appImage), QByteArray("OLD"));
            return;
        }
        QSignalSpy completed(controller.get(), &UpdateController::UpdateCompleted);
        controller->checkForUpdate();
        QTRY_VERIFY(m_app.asked >= 3);
        QVERIFY(controller->isWaitingToInstall());
        QCOMPARE(contentOf(m_appImage), QByteArray("OLD"));
        if (then == "idle") {
            m_app.idle = true;
            QTRY_COMPARE(completed.count(), 1);
        } else {
            // Offered at once, without a second download.
            QCOMPARE(outcome(*controller, [&] { controller->UserCheckUpdate(); }), kReady);
            QCOMPARE(m_service->requestsTo(kDownloadPath).size(), 1);
            controller->RunUpdate();
        }
        QCOMPARE(contentOf(m_appImage), m_program);
        QVERIFY(!controller->isWaitingToInstall());
    }

    void silentInstallsOfOneVersionStopAfterThree_data()
    {
        QTest::addColumn<QString>("lastVersion");
        QTest::addColumn<int>("lastCount");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("countAfter");
        QTest::newRow("first download") << "" << 0 << "completed" << 1;
        QTest::newRow("third download") << kNewVersion << 2 << "completed" << 3;
        QTest::newRow("fourth download") << kNewVersion << 3 << kReady << 3;
        QTest::newRow("another version's attempts") << "03.00.0127" << 3 << "completed" << 1;
        QTest::newRow("the running version's are forgotten") << kAppVersion << 5 << "completed" << 1;
    }

    void silentInstallsOfOneVersionStopAfterThree()
    {
        QFETCH(QString, lastVersion);
        QFETCH(int, lastCount);
        QFETCH(QString, expected);
        QFETCH(int, countAfter);
        kKeyLastUpdateVersion.set(lastVersion);
        kKeyLastUpdateCount.set(lastCount);
        auto controller = makeController();
        QCOMPARE(outcome(*controller, [&] { controller->checkForUpdate(); }), expected);
        QCOMPARE(kKeyLastUpdateVersion.get(), kNewVersion);
        QCOMPARE(kKeyLastUpdateCount.get(), countAfter);
        QVERIFY(!controller->hasPeriodicCheck());
    }

    void checksOneAtATimeSoonAfterStartThenPeriodically()
    {
        kKeyUpdatePercent.remove();
        m_service->on("GET", kManifestPath, Reply::raw(manifest(kAppVersion, 100)).withDelay(5));
        auto controller = makeController();
        QSignalSpy finished(controller.get(), &UpdateController::CheckUpdateFinished);
        controller->checkForUpdate();
        controller->UserCheckUpdate(); // takes the outcome of the check on its way
        QTRY_COMPARE(finished.count(), 1);
        QCOMPARE(m_service->requestsTo(kManifestPath).size(), 1);
        const int drawn = controller->rolloutPercent();
        QVERIFY(drawn >= 0 && drawn <= 98);
        QCOMPARE(kKeyUpdatePercent.get(), drawn);

        UpdateIntervals intervals = quick();
        intervals.firstCheckMs = 0;
        controller = makeController(intervals);
        QCOMPARE(controller->rolloutPercent(), drawn);
        QTRY_COMPARE(m_service->requestsTo(kManifestPath).size(), 2);
        intervals = quick();
        intervals.checkMs = 1;
        controller = makeController(intervals);
        QTRY_VERIFY(m_service->requestsTo(kManifestPath).size() >= 4);
    }

    void swapReplacesTheProgramOrPutsEverythingBack_data()
    {
        QTest::addColumn<QByteArray>("before"); // AppImage|prev|bak; "|gone": the download removed
        QTest::addColumn<int>("failingRename");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<QString>("error");
        QTest::newRow("first update") << QByteArray("OLD|-|-") << 0 << QByteArray("NEW|OLD|-") << "";
        QTest::newRow("older copies move along")
            << QByteArray("OLD|PREV|BAK") << 0 << QByteArray("NEW|OLD|PREV") << "";
        QTest::newRow("keeping prev fails")
            << QByteArray("OLD|PREV|-") << 1 << QByteArray("OLD|PREV|-") << "Can't rename file";
        QTest::newRow("moving the program aside fails")
            << QByteArray("OLD|PREV|-") << 2 << QByteArray("OLD|PREV|-") << "Can't rename file";
        QTest::newRow("putting the new one in place fails")
            << QByteArray("OLD|PREV|-") << 3 << QByteArray("OLD|PREV|-") << "Can't rename file";
        QTest::newRow("a folder in the way of bak")
            << QByteArray("OLD|PREV|dir") << 0 << QByteArray("OLD|PREV|dir") << "Can't rename file";
        QTest::newRow("no APPIMAGE") << QByteArray("unset|-|-") << 0 << QByteArray("OLD|-|-")
                                     << "APPIMAGE environment variable is empty";
        QTest::newRow("program file gone")
            << QByteArray("-|-|-") << 0 << QByteArray("-|-|-") << "AppImage file doesn't exist: ";
        QTest::newRow("download gone")
            << QByteArray("OLD|-|-|gone") << 0 << QByteArray("OLD|-|-") << "Update file doesn't exist: ";
    }

    void swapReplacesTheProgramOrPutsEverythingBack()
    {
        QFETCH(QByteArray, before);
        QFETCH(int, failingRename);
        QFETCH(QByteArray, after);
        QFETCH(QString, error);
        auto controller = makeController();
        QCOMPARE(outcome(*controller, [&] { controller->UserCheckUpdate(); }), kReady);
        const QStringList paths{m_appImage, m_setup + ".prev", m_setup + ".prev.bak"};
        const QList<QByteArray> contents = before.split('|');
        if (contents[0] == "unset")
            qunsetenv("APPIMAGE");
        else if (contents[0] == "-")
            QFile::remove(m_appImage);
        place(paths[1], contents[1]);
        place(paths[2], contents[2]);
        if (contents.value(3) == "gone")
            QFile::remove(m_setup);
        int renames = 0;
        controller->setRenameForTesting([&](const QString& from, const QString& to) {
            return ++renames != failingRename && QFile::rename(from, to);
        });
        QSignalSpy completed(controller.get(), &UpdateController::UpdateCompleted);
        QSignalSpy failed(controller.get(), &UpdateController::updateFailed);

        controller->RunUpdate();

        QCOMPARE(completed.count(), error.isEmpty() ? 1 : 0);
        QVERIFY(failed.value(0).value(0).toString().startsWith("Update failed.\n" + error) !=
                error.isEmpty());
        QByteArrayList found;
        for (const QString& path : paths)
            found << contentOf(path).replace(m_program, "NEW");
        QCOMPARE(found.join('|'), after);
        QCOMPARE(QFile::exists(m_setup), !error.isEmpty() && contents.value(3) != "gone");
        QVERIFY(controller->updateFilePath().isEmpty());
    }

    void downloadIsWrittenWholeOrNotAtAll()
    {
        const std::pair<int, bool> cases[] = {{0, false}, {5, false}, {100, true}};
        for (const auto& [failAt, whole] : cases) {
            zq::test::FailingDevice device(failAt);
            QCOMPARE(UpdateController::writeWhole(device, m_program.left(10)), whole);
        }
    }

    void noticeTellsTheUserOnlyWhatTheyAskedFor_data()
    {
        QTest::addColumn<int>("result");
        QTest::addColumn<bool>("userAsked");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("balloon");
        QTest::newRow("ready, periodic") << int(UpdateReady) << false << "Update now"
                                         << "New version is available.";
        QTest::newRow("failure, periodic") << int(NetworkFailure) << false << ""
                                           << "";
        QTest::newRow("failure, asked") << int(NetworkFailure) << true << "Check for Updates..."
                                        << "Check for updates\nNetwork error";
        QTest::newRow("unknown, asked") << 42 << true << "Check for Updates..."
                                        << "Check for updates\nUnknown error";
    }

    void noticeTellsTheUserOnlyWhatTheyAskedFor()
    {
        QFETCH(int, result);
        QFETCH(bool, userAsked);
        QFETCH(QString, action);
        QFETCH(QString, balloon);
        const UpdateNotice notice = updateNotice(CheckUpdateResult(result), userAsked);
        QCOMPARE(notice.offerUpdate, result == UpdateReady);
        QCOMPARE(notice.restoreCheckAction, result != UpdateReady && userAsked);
        QCOMPARE(notice.actionText, action.isEmpty() ? QString() : action);
        QCOMPARE(notice.balloon.left(balloon.size()), balloon.isEmpty() ? QString() : balloon);
    }
};

ZQ_TEST_MAIN(TestUpdateController)
#include "test_update_controller.moc"
