#include "app/Application.h"

#include "api/APIHandler.h"
#include "api/Provider.h"
#include "app/Hotkeys.h"
#include "app/NavigateEventFilter.h"
#include "app/OnDemandWindows.h"
#include "app/QuitSignals.h"
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
#include "dialogs/ReportDialog.h"
#include "dialogs/SettingsDialog.h"
#include "library/QeltControllerSwitch.h"
#include "view/page/QeltViewFrame.h"

#include <QDebug>
#include <QSessionManager>
#include <QSystemTrayIcon>
#include <QTimer>

namespace {

bool s_makeMainWindow = true;

} // namespace

void Application::setMainWindowForTesting(bool make)
{
    s_makeMainWindow = make;
}

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
    connect(&m_screenShooter, &ScreenShooter::screenshotReady, this, &Application::onScreenshotReady);
    connect(&m_screenShooter, &ScreenShooter::captureFailed, this, &Application::onCaptureEnded);
    // Behind the freeze, not ahead of the grab: the result view's page then loads while the region is
    // dragged and uploaded, and its start on this thread holds up neither the grab nor the overlays.
    connect(
        &m_screenShooter, &ScreenShooter::overlaysDrawn, this,
        [this] {
            if (m_mainWindow)
                m_mainWindow->PrepareQeltView();
        },
        Qt::QueuedConnection);

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
    connect(this, &QGuiApplication::commitDataRequest, this, &Application::onCommitData);
}

Application::~Application()
{
    // Widgets go while the application object underneath them is whole; its own children go after.
    delete m_mainWindow;
    delete m_tray;
}

void Application::connectFlows()
{
    connect(m_recognition, &RecognitionUpload::activity, this, &Application::markActivity);
    connect(m_recognition, &RecognitionUpload::captureCancelled, this, &Application::onCaptureEnded);
    connect(m_recognition, &RecognitionUpload::captureGaveNoQelt, this, &Application::onCaptureGaveNoQelt);
    connect(m_recognition, &RecognitionUpload::errorMessage, this, &Application::ShowErrorMessage);
    connect(m_recognition, &RecognitionUpload::rateLimited, this, &Application::ShowRateLimitDialog);
    connect(m_recognition, &RecognitionUpload::filesUnreadable, this, [](const QString& text) {
        MessageBox::warning(nullptr, applicationName(), text, QMessageBox::Ok, QMessageBox::NoButton);
    });
    connect(m_recognition, &RecognitionUpload::showQelt, this, [this](const ZorvaneQeltPtr& qelt) {
        if (m_mainWindow)
            m_mainWindow->ShowQeltView(qelt);
    });
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

void Application::makeMainWindow()
{
    m_mainWindow = new LatexResultDialog(m_controllerSwitch.get(),
                                         ZorvaneAPI::Provider::instance().networkAccessManager());
    LatexResultDialog* window = m_mainWindow;
    connect(window, &LatexResultDialog::ShowContextMenu, this, &Application::ShowContextMenu);
    connect(window, &LatexResultDialog::PopupSettings, this, &Application::ShowSettings);
    connect(window, &LatexResultDialog::WantRemoveQelt, this, &Application::OnQeltRemoveRequested);
    connect(window, &LatexResultDialog::MakeScreenshot, this, &Application::MakeScreenshot);
    connect(window, &LatexResultDialog::UploadQelt, this, &Application::UploadQelt);
    connect(window, &LatexResultDialog::RestartApp, this, &Application::Restart);
    connect(window, &LatexResultDialog::ScanError, this, &Application::ShowErrorMessage);
    connect(window, &LatexResultDialog::RateLimitError, this, &Application::ShowRateLimitDialog);
    connect(window, &LatexResultDialog::QeltRecognized, this, &Application::QeltRecognizedHandler);
    connect(window, &LatexResultDialog::SendFeedback, this, &Application::SendFeedbackClicked);
    // The view page asks for a mistake report without knowing the dialog, which sits above it.
    window->viewPage()->setReportDialogFactory(
        [](QWidget* parent, const QString& qeltId) -> QDialog* { return new ReportDialog(parent, qeltId); });
    m_qeltsController.setMainWindow(window);
    m_searchController.setMainWindow(window);

    NavigateEventFilter* keys = m_navigateFilter;
    connect(keys, &NavigateEventFilter::PrevQelt, window, &LatexResultDialog::OnPrevQeltKey);
    connect(keys, &NavigateEventFilter::NextQelt, window, &LatexResultDialog::OnNextQeltKey);
    connect(keys, &NavigateEventFilter::FirstQelt, window, &LatexResultDialog::OnFirstQeltKey);
    connect(keys, &NavigateEventFilter::LastQelt, window, &LatexResultDialog::OnLastQeltKey);
    connect(keys, &NavigateEventFilter::PrevRow, window, &LatexResultDialog::OnRowUpKey);
    connect(keys, &NavigateEventFilter::PrevTab, window, &LatexResultDialog::OnPrevTabKey);
    connect(keys, &NavigateEventFilter::NextRow, window, &LatexResultDialog::OnRowDownKey);
    connect(keys, &NavigateEventFilter::NextTab, window, &LatexResultDialog::OnNextTabKey);
    connect(keys, &NavigateEventFilter::DeleteQelt, window, &LatexResultDialog::OnDeleteKey);

    m_windows->setMainWindow(window);
    m_busyWindows.addWhileVisible(window);
    // Shown again, by a Qelt or by the user: no capture's end may bring it back once it is closed.
    connect(window, &LatexResultDialog::Shown, this, [this] { m_windowHiddenForCapture = false; });
}

LatexResultDialog* Application::visibleMainWindow() const
{
    return m_mainWindow && m_mainWindow->isOnScreen() ? m_mainWindow.data() : nullptr;
}

void Application::OnQeltRemoveRequested(const QString& qeltId)
{
    m_controllerSwitch->current()->removeQelt(qeltId);
}

void Application::onScreenshotReady(const QPixmap& pixmap)
{
    if (!pixmap.isNull()) {
        m_captureDelivered = true;
        // The service may have refused the token while the overlay was up: the region has no account.
        if (!IsLoggedIn()) {
            qInfo() << "[Application] Signed out during the capture: the region is not sent";
            ShowLoginDialog();
            return;
        }
        m_recognition->recognizeCapture(pixmap);
        return;
    }
    // Every overlay answers a release; those of the other screens answer with nothing. The capture was
    // cancelled only when no overlay brought a region.
    if (m_cancelCheckQueued)
        return;
    m_cancelCheckQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_cancelCheckQueued = false;
        if (!m_captureDelivered)
            RecognizeImage(QPixmap(), true);
    });
}

void Application::onCaptureEnded()
{
    if (m_windowHiddenForCapture && m_mainWindow)
        OpenAppWindow();
}

void Application::onCaptureGaveNoQelt()
{
    if (m_captureStarting || m_screenShooter.isCapturing())
        return;
    onCaptureEnded();
}

ShortcutsEventFilter* Application::hotkeyFilter() const
{
    return m_hotkeys->filter();
}

int Application::Run()
{
    if (!CheckSingleInstance())
        return 1;
    // From here on the end of the session goes through Cleanup, as the Quit entry does.
    QuitSignals quitSignals;
    connect(&quitSignals, &QuitSignals::received, this, &Application::onQuitSignal);
    Init();
    const int code = exec();
    m_ending = true;
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
    const bool elementary = utils::systemInfo().isElementary();
    kKeySystemTrayAvailable.set(QSystemTrayIcon::isSystemTrayAvailable() && !elementary);
    m_saveTimer = new SaveTimer(
        m_qeltsController, [this] { return IsLoggedIn(); }, this);
    UpdateShortcutReload();
    if (kKeySystemTrayAvailable.get()) {
        m_tray->showIcon(m_intervals.themeCheckMs);
    } else if (!elementary) {
        connect(m_tray, &Tray::hostArrived, this, &Application::onTrayHostArrived, Qt::UniqueConnection);
        m_tray->watchForHost(m_intervals.trayHostCheckMs);
    }
    if (s_makeMainWindow)
        makeMainWindow();

    m_updateController = new UpdateController(
        m_version, ZorvaneAPI::Provider::instance().networkAccessManager(), this, this, m_intervals.update);
    connect(m_updateController, &UpdateController::UpdateCompleted, this, &Application::SilentRestart);
    connect(m_updateController, &UpdateController::CheckUpdateFinished, this,
            &Application::OnCheckUpdateFinished);
    connect(m_updateController, &UpdateController::updateFailed, this, [this](const QString& text) {
        // The download is gone with the failed run: nothing is left to offer until the next check.
        m_tray->withdrawUpdate();
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
                signOut(true);
        });
        connect(controller, &QeltsController::failedToRemoveAllQelts, this,
                [this] { ShowErrorMessage(tr("Failed to delete all Qelts.  Try again later.")); });
        if (m_mainWindow)
            connect(controller, &QeltsController::qeltsCountChanged, m_mainWindow,
                    &LatexResultDialog::OnQeltsCountChanged);
    }
    if (!utils::autostartChanged())
        utils::setAutostart(true);
    if (!kKeySystemTrayAvailable.get())
        OpenAppWindow(); // the only way in without a tray; signed out, the sign-in window
    else if (!IsLoggedIn())
        ShowLoginDialog();
    if (kKeyShowStartBalloon.get() && !arguments().contains(kHideStartBalloonSwitch))
        m_tray->showNoticeWhenPlaced(tr("The application was started.\n"));
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
    m_qeltsController.setMainWindow(nullptr);
    m_searchController.setMainWindow(nullptr);
    delete m_mainWindow;
    m_singleInstance->close();
    m_hotkeys->release();
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

void Application::onTrayHostArrived()
{
    qInfo() << "[Application] A tray host has come: the program goes on in the tray";
    kKeySystemTrayAvailable.set(true);
    m_tray->showIcon(m_intervals.themeCheckMs);
}

void Application::onQuitSignal(int number)
{
    // A later signal would end the loops that Cleanup runs to send the last diagnostic lines.
    if (m_ending)
        return;
    m_ending = true;
    qInfo().noquote() << "[Application] Signal" << number << "received: quitting";
    quitFromMenu();
}

void Application::onCommitData(QSessionManager&)
{
    qInfo() << "[Application] The session manager asks to save";
    if (IsLoggedIn())
        m_qeltsController.saveToDisk();
    if (m_mainWindow)
        m_mainWindow->SaveFeedbackRecord();
}

void Application::markActivity()
{
    if (m_updateController)
        m_updateController->ResetActivity();
}
