#include "app/Application.h"

#include "api/APIHandler.h"
#include "api/Provider.h"
#include "app/Hotkeys.h"
#include "app/NavigateEventFilter.h"
#include "app/OnDemandWindows.h"
#include "app/RateLimitDialog.h"
#include "app/RestartLauncher.h"
#include "app/SaveTimer.h"
#include "app/SingleInstance.h"
#include "app/flows/RecognitionUpload.h"
#include "app/flows/UpdateNotice.h"
#include "app/flows/UsageReporter.h"
#include "auth/LoginDialog.h"
#include "core/SystemInfo.h"
#include "core/autostart.h"
#include "core/identity.h"
#include "core/paths.h"
#include "core/settings.h"
#include "core/switches.h"
#include "core/ui/MessageBox.h"
#include "core/ui/fonts.h"
#include "core/x11/ShortcutsEventFilter.h"
#include "dialogs/FeedbackDialog.h"
#include "dialogs/SettingsDialog.h"
#include "library/QeltControllerSwitch.h"

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

    m_recognition = new RecognitionUpload(&m_qeltsController, m_version, this);
    m_usage = new UsageReporter(this);
    connect(&m_screenShooter, &ScreenShooter::screenshotReady, this,
            [this](const QPixmap& pixmap) { RecognizeImage(pixmap, true); });

    // The hotkey filter sees the raw events first, the navigation filter second.
    m_hotkeys = new Hotkeys(this);
    m_navigateFilter = new NavigateEventFilter(this);
    installNativeEventFilter(m_navigateFilter);
    ShortcutsEventFilter* hotkeys = m_hotkeys->filter();
    connect(hotkeys, &ShortcutsEventFilter::LatexActivated, this, &Application::MakeScreenshot);
    connect(hotkeys, &ShortcutsEventFilter::ReloadActivated, this, &Application::OpenAppWindow);
    connect(hotkeys, &ShortcutsEventFilter::LatexEditActivated, this, &Application::OpenLatexEditWindow);
    connect(hotkeys, &ShortcutsEventFilter::MarkdownEditActivated, this,
            &Application::OpenMarkdownEditWindow);

    m_tray = new Tray(this);
    connect(m_tray, &Tray::commanded, this, &Application::onTrayCommand);
    m_windows = new OnDemandWindows(*m_hotkeys, m_busyWindows, this);
    connectFlows();

    m_singleInstance = new SingleInstance(this);
    connect(m_singleInstance, &SingleInstance::knocked, this, &Application::OnInstanceMessage);
}

Application::~Application() = default;

void Application::connectFlows()
{
    connect(m_recognition, &RecognitionUpload::activity, this, &Application::markActivity);
    // A cancelled capture brings back the main window it hid once the main window joins.
    connect(m_recognition, &RecognitionUpload::errorMessage, this, &Application::ShowErrorMessage);
    connect(m_recognition, &RecognitionUpload::rateLimited, this, &Application::ShowRateLimitDialog);
    connect(m_recognition, &RecognitionUpload::filesUnreadable, this, [](const QString& text) {
        MessageBox::warning(nullptr, applicationName(), text, QMessageBox::Ok, QMessageBox::NoButton);
    });
    // A recognised Qelt shows on the view page once the main window joins.
    connect(m_usage, &UsageReporter::trayMessage, this, &Application::ShowTrayMessage);
    connect(m_usage, &UsageReporter::errorMessage, this, &Application::ShowErrorMessage);

    connect(m_windows, &OnDemandWindows::activity, this, &Application::markActivity);
    connect(m_windows, &OnDemandWindows::settingsMade, this, &Application::connectSettings);
    connect(m_windows, &OnDemandWindows::feedbackMade, this, [this](FeedbackDialog* dialog) {
        connect(dialog, &FeedbackDialog::SendFeedback, this, &Application::SendFeedback);
    });
    connect(m_windows, &OnDemandWindows::loginMade, this, [this](LoginDialog* dialog) {
        connect(dialog, &LoginDialog::loggedIn, this, &Application::OnLoggedIn);
    });
}

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
    UpdateShortcutReload();
    if (kKeySystemTrayAvailable.get())
        m_tray->showIcon(m_intervals.themeCheckMs);
    // The main window is made and wired here once it joins.

    m_updateController = new UpdateController(
        m_version, ZorvaneAPI::Provider::instance().networkAccessManager(), this, this, m_intervals.update);
    connect(m_updateController, &UpdateController::UpdateCompleted, this, &Application::SilentRestart);
    connect(m_updateController, &UpdateController::CheckUpdateFinished, this,
            &Application::OnCheckUpdateFinished);
    connect(m_updateController, &UpdateController::updateFailed, this, [](const QString& text) {
        MessageBox::warning(nullptr, applicationName(), text, QMessageBox::Ok, QMessageBox::NoButton);
    });

    m_signIn.readStored();
    if (!kKeyTutorialWasShown.contains())
        kKeyTutorialWasShown.set(true);
    if (!kKeyEventInstall.contains()) {
        SendEvent(QStringLiteral("install"), QString());
        kKeyEventInstall.set(true);
    }
    m_qeltsController.imageController()->loadIndex();
    m_signIn.startControllers();
    UpdateShortcutsGetLatexAndLogOut();
    UpdateShortcutLatexEdit();
    UpdateShortcutMarkdownEdit();
    if (ZorvaneAPI::Provider::instance().hasToken())
        APIHandler::GetImproveOCRSetting();
    for (QeltsController* controller : {&m_qeltsController, &m_searchController}) {
        // Both may be refused one after the other; the second finds the user signed out already.
        connect(controller, &QeltsController::receivedForbidden, this, [this] {
            if (IsLoggedIn())
                LogOut();
        });
        connect(controller, &QeltsController::failedToRemoveAllQelts, this,
                [this] { ShowErrorMessage(tr("Failed to delete all Qelts.  Try again later.")); });
    }
    if (!utils::autostartChanged())
        utils::setAutostart(true);
    // Without a tray the main window is the only way in; it opens here once it joins.
    if (!IsLoggedIn())
        ShowLoginDialog();
    if (kKeyShowStartBalloon.get() && !arguments().contains(kHideStartBalloonSwitch))
        ShowTrayMessage(tr("The application was started.\n"));
    APIHandler::event(QStringLiteral("app_start"));
}

void Application::Cleanup()
{
    APIHandler::flushLogsNow();
    if (IsLoggedIn())
        m_qeltsController.saveToDisk();
    // The window would set the hotkeys again as it goes, after the filters are gone.
    if (SettingsDialog* settings = m_windows->settings())
        settings->disconnect();
    // The main window is let go here once it joins.
    m_singleInstance->close();
    m_tray->hideIcon();
    delete m_updateController;
    m_updateController = nullptr;
}

bool Application::IsLoggedIn() const
{
    return m_signIn.isSignedIn();
}

bool Application::IsIdle() const
{
    return !m_busyWindows.any() && !m_windows->aboutRunning();
}

void Application::ShowErrorMessage(const QString& text)
{
    qInfo().noquote() << "[Application] Error shown:" << text;
    m_tray->showError(text);
}

void Application::ShowTrayMessage(const QString& text)
{
    m_tray->showNotice(text);
}

void Application::OnInstanceMessage()
{
    ShowTrayMessage(applicationName() + QStringLiteral(" is running"));
}

void Application::markActivity()
{
    if (m_updateController)
        m_updateController->ResetActivity();
}
