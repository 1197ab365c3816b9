#include "app/Application.h"

#include "api/APIHandler.h"
#include "api/Provider.h"
#include "app/Hotkeys.h"
#include "app/NavigateEventFilter.h"
#include "app/RestartLauncher.h"
#include "app/SaveTimer.h"
#include "app/SingleInstance.h"
#include "core/SystemInfo.h"
#include "core/autostart.h"
#include "core/identity.h"
#include "core/paths.h"
#include "core/settings.h"
#include "core/ui/MessageBox.h"
#include "core/ui/fonts.h"
#include "core/x11/ShortcutsEventFilter.h"
#include "library/QeltControllerSwitch.h"

#include <QAction>
#include <QDebug>
#include <QSystemTrayIcon>
#include <QTimer>

QString Application::versionFromArguments(const QStringList& arguments)
{
    const int at = arguments.indexOf(QStringLiteral("-set_version"));
    return at >= 0 && at + 1 < arguments.size() ? arguments.at(at + 1) : utils::kAppVersion;
}

Application::Application(int& argc, char** argv)
    : QApplication(argc, argv), m_version(utils::kAppVersion),
      m_qeltsController(this, ZorvaneAPI::Provider::instance().networkAccessManager()),
      m_searchController(this, ZorvaneAPI::Provider::instance().networkAccessManager()),
      m_signIn(m_qeltsController, m_searchController)
{
    // Reads no settings: they are checked and migrated once this object exists.
    setStyleSheet(utils::codeFontStyleSheet());
    utils::loadApplicationFonts();
    m_controllerSwitch = std::make_unique<QeltControllerSwitch>(&m_qeltsController, &m_searchController, 0);
    APIHandler::init(ZorvaneAPI::Provider::instance().networkAccessManager());
    m_version = versionFromArguments(arguments());
    setQuitOnLastWindowClosed(false);
    // The recognition upload takes the captured region here once it joins.

    // The hotkey filter sees the raw events first, the navigation filter second.
    m_hotkeys = new Hotkeys(this);
    m_navigateFilter = new NavigateEventFilter(this);
    installNativeEventFilter(m_navigateFilter);
    connect(m_hotkeys->filter(), &ShortcutsEventFilter::LatexActivated, this, &Application::MakeScreenshot);
    // The other three hotkeys open the main window and its editors, which join with the main window.

    m_singleInstance = new SingleInstance(this);
    connect(m_singleInstance, &SingleInstance::knocked, this, &Application::OnInstanceMessage);
}

Application::~Application() = default;

ShortcutsEventFilter* Application::hotkeyFilter() const
{
    return m_hotkeys->filter();
}

int Application::Run()
{
    if (!CheckSingleInstance())
        return 1;
    Init();
    const int code = exec();
    Cleanup();
    if (const auto command = RestartLauncher::command(code, arguments(), utils::appImagePath())) {
        if (!RestartLauncher::launch(*command))
            qWarning().noquote() << "[Application] Failed to start again:" << command->program;
    }
    return code;
}

bool Application::CheckSingleInstance()
{
    return m_singleInstance->claim();
}

void Application::Init()
{
    utils::logSystemInfo(utils::systemInfo());
    kKeySystemTrayAvailable.set(QSystemTrayIcon::isSystemTrayAvailable() &&
                                !utils::systemInfo().isElementary());
    m_saveTimer = new SaveTimer(
        m_qeltsController, [this] { return IsLoggedIn(); }, this);
    // The tray icon and its menu, the main window and the updater join here.

    m_signIn.readStored();
    if (!kKeyTutorialWasShown.contains())
        kKeyTutorialWasShown.set(true);
    // The "install" usage event and its flag join with the event sender: the flag alone would lose it.
    m_qeltsController.imageController()->loadIndex();
    m_signIn.startControllers();
    UpdateShortcutReload();
    UpdateShortcutsGetLatexAndLogOut();
    UpdateShortcutLatexEdit();
    UpdateShortcutMarkdownEdit();
    if (ZorvaneAPI::Provider::instance().hasToken())
        APIHandler::GetImproveOCRSetting();
    for (QeltsController* controller : {&m_qeltsController, &m_searchController}) {
        connect(controller, &QeltsController::receivedForbidden, this, &Application::LogOut);
        connect(controller, &QeltsController::failedToRemoveAllQelts, this,
                [this] { ShowErrorMessage(tr("Failed to delete all Qelts.  Try again later.")); });
    }
    if (!utils::autostartChanged())
        utils::setAutostart(true);
    // The sign-in window (signed out) or the main window (no tray) opens here, and the start balloon
    // shows, once they join.
    APIHandler::event(QStringLiteral("app_start"));
}

void Application::Cleanup()
{
    APIHandler::flushLogsNow();
    if (IsLoggedIn())
        m_qeltsController.saveToDisk();
    // The settings window, the main window, the tray icon and the updater are let go here once they join.
    m_singleInstance->close();
}

bool Application::IsLoggedIn() const
{
    return m_signIn.isSignedIn();
}

bool Application::IsIdle() const
{
    return !m_busyWindows.any();
}

void Application::ShowErrorMessage(const QString& text)
{
    qWarning().noquote() << "[Application] Error shown:" << text;
    MessageBox::warning(nullptr, applicationName(), text, QMessageBox::Ok, QMessageBox::NoButton);
}

void Application::ShowTrayMessage(const QString& text)
{
    qInfo().noquote() << "[Application] Notice:" << text;
}

void Application::OnInstanceMessage()
{
    ShowTrayMessage(applicationName() + QStringLiteral(" is running"));
}

void Application::MakeScreenshot()
{
    // The updater's activity mark and the gallery's search reset join with them.
    m_controllerSwitch->setMode(0);
    if (!IsLoggedIn()) {
        // The sign-in window opens here once it joins.
        qInfo() << "[Application] Capture asked for while signed out";
        return;
    }
    // The main window is hidden here, when the settings ask for it, once it joins.
    m_windowHiddenForCapture = false;
    // Without a window of ours to leave the screen, the capture starts at once; a menu entry just
    // picked is still on the screen for a moment.
    const bool fromMenu = qobject_cast<QAction*>(sender()) != nullptr;
    const int delay = m_windowHiddenForCapture || fromMenu ? kCaptureDelayMs : 0;
    QTimer::singleShot(delay, Qt::PreciseTimer, &m_screenShooter, &ScreenShooter::makeScreenshot);
}

void Application::OnLoggedIn(QString email, QString token)
{
    m_signIn.signIn(email, token);
    APIHandler::GetImproveOCRSetting();
    UpdateShortcutsGetLatexAndLogOut();
    // The "initial_login" usage event joins with the event sender, the main window's account fetch and
    // its showing without a tray with the main window.
}

void Application::LogOut()
{
    m_signIn.signOut();
    UpdateShortcutsGetLatexAndLogOut();
    // The main window closes and the sign-in window opens here once they join.
}

void Application::Restart()
{
    exit(RestartLauncher::kRestartCode);
}

void Application::SilentRestart()
{
    exit(RestartLauncher::kSilentRestartCode);
}

void Application::UpdateShortcutsGetLatexAndLogOut()
{
    // Its text goes to the tray menu and the empty gallery once they join.
    m_hotkeys->updateLatex();
}

void Application::UpdateShortcutReload()
{
    m_hotkeys->updateReload();
}

void Application::UpdateShortcutLatexEdit()
{
    m_hotkeys->updateLatexEdit();
}

void Application::UpdateShortcutMarkdownEdit()
{
    m_hotkeys->updateMarkdownEdit();
}
