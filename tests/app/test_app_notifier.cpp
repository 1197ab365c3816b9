// The application on a desktop whose tray is a notifier service (its icon an item on the session bus, its
// balloons desktop notifications), on an X server and a session bus of this test's own: the icon has no
// window of ours whose place to wait for, so the start balloon goes out at once.
#include "api/APIHandler.h"
#include "app/Application.h"
#include "app/startup.h"
#include "core/identity.h"
#include "core/userState.h"
#include "support/FakeAccount.h"
#include "support/FakeDesktopServices.h"
#include "support/FakeService.h"
#include "support/PrivateDisplay.h"
#include "support/PrivateSessionBus.h"
#include "support/TestMain.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSystemTrayIcon>

using namespace zq::test;

namespace {

Application& app()
{
    return *static_cast<Application*>(qApp);
}

} // namespace

class TestAppNotifier : public QObject
{
    Q_OBJECT

    std::unique_ptr<FakeDesktopServices> m_desktop;
    std::unique_ptr<FakeService> m_service;
    std::unique_ptr<FakeAccount> m_account;

    // The notifications shown so far: summary and body of each.
    QStringList notifications()
    {
        QStringList shown;
        for (const QString& call : m_desktop->calls())
            if (const QJsonArray args = QJsonDocument::fromJson(call.toUtf8()).array(); args[0] == "Notify")
                shown << args[2].toString() + '|' + args[3].toString();
        return shown;
    }

private slots:
    void initTestCase()
    {
        // Qt asks for a notifier tray once, with its first tray icon.
        m_desktop = FakeDesktopServices::notifier();
        QVERIFY(m_desktop);
        m_service = std::make_unique<FakeService>();
        m_account = std::make_unique<FakeAccount>(*m_service);
        for (const char* path : {"/v1/logs", "/v1/events"})
            m_service->on("POST", path, Reply::json(QJsonObject()));
        m_service->on("GET", "/v1/user/settings", Reply::json(QJsonObject{{"improve_ocr", true}}));
        utils::overrideBaseUrlsForTesting(m_service->baseUrl());
        APIHandler::overrideNetworkAvailabilityForTesting(true);
        utils::setAuthInfo("ada@example.org", "t0ken");
        Application::Intervals intervals;
        intervals.update.firstCheckMs = intervals.update.checkMs = 3600000;
        app().setIntervals(intervals);
        QVERIFY(app().CheckSingleInstance());
        app().Init();
    }

    void startBalloonGoesOutAtOnce()
    {
        QVERIFY(app().tray().icon() && app().tray().icon()->isVisible());
        QTRY_COMPARE(notifications(), QStringList{"Zorvane Qelting Tool|The application was started.\n"});
        QVERIFY(app().tray().iconPlaced());
        // Its icon is the notifier's item, not a window of ours.
        QVERIFY(m_desktop->calls().first().startsWith(R"(["RegisterStatusNotifierItem")"));
    }

    void cleanupTestCase() { app().Cleanup(); }
};

int main(int argc, char* argv[])
{
    runOnPrivateSessionBus(argc, argv);
    prepareEnvironment();
    qputenv("TMPDIR", QFile::encodeName(homePath()));
    startPrivateDisplay(QSize(1280, 800));
    startup::prepareProcess();
    Application::setMainWindowForTesting(false);
    Application application(argc, argv);
    prepareApplication();
    TestAppNotifier test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_app_notifier.moc"
