// The application's commands: what the menus, the hotkeys and the windows ask for, the sign-in state, the
// recognition upload's face, and the update offers.
#include "app/Application.h"

#include "api/APIHandler.h"
#include "api/Provider.h"
#include "app/Hotkeys.h"
#include "app/OnDemandWindows.h"
#include "app/RateLimitDialog.h"
#include "app/RestartLauncher.h"
#include "app/flows/RecognitionUpload.h"
#include "app/flows/UpdateNotice.h"
#include "app/flows/UsageReporter.h"
#include "core/identity.h"
#include "core/settings.h"
#include "core/ui/FileDialog.h"
#include "dialogs/SettingsDialog.h"
#include "library/QeltControllerSwitch.h"
#include "library/gallery/QeltListFrame.h"

#include <QAction>
#include <QDebug>
#include <QDesktopServices>
#include <QTimer>
#include <QUrl>

void Application::onTrayCommand(Tray::Command command)
{
    switch (command) {
    case Tray::Command::GetLatex:
        beginCapture(true);
        break;
    case Tray::Command::OpenWindow:
        OpenAppWindow();
        break;
    case Tray::Command::UserGuide:
        ShowUserGuide();
        break;
    case Tray::Command::MyAccount:
        ShowMyAccount();
        break;
    case Tray::Command::Tutorial:
        ShowTutorial();
        break;
    case Tray::Command::Settings:
        ShowSettings(SettingsDialog::GeneralTab);
        break;
    case Tray::Command::Feedback:
        SendFeedbackClicked();
        break;
    case Tray::Command::About:
        ShowAbout();
        break;
    case Tray::Command::CheckUpdates:
        CheckUpdates();
        break;
    case Tray::Command::LogOut:
        LogOut();
        break;
    case Tray::Command::Quit:
        quitFromMenu();
        break;
    case Tray::Command::UpdateNow:
        if (m_updateController)
            m_updateController->RunUpdate();
        break;
    }
}

void Application::quitFromMenu()
{
    if (m_mainWindow)
        m_mainWindow->SaveFeedbackRecord();
    quit();
}

void Application::MakeScreenshot()
{
    beginCapture(qobject_cast<QAction*>(sender()) != nullptr);
}

void Application::beginCapture(bool afterMenu)
{
    // One press is one capture: a press while one is under way would throw its overlays away.
    if (m_captureStarting || m_screenShooter.isCapturing()) {
        qInfo() << "[Application] A capture is under way: the request is ignored";
        return;
    }
    markActivity();
    if (m_mainWindow)
        m_mainWindow->ClearGallerySearch();
    m_controllerSwitch->setMode(0);
    if (!IsLoggedIn()) {
        ShowLoginDialog();
        return;
    }
    m_captureDelivered = false;
    // A window that an earlier capture hid, its upload still running, stays hidden for this one too.
    const bool hiding = kKeyHideWindowOnCaptureStarted.get() && visibleMainWindow();
    if (hiding) {
        m_mainWindow->hide();
        m_windowHiddenForCapture = true;
    }
    // Without a window of ours to leave the screen, the capture starts at once.
    const int delay = hiding || afterMenu ? kCaptureDelayMs : 0;
    m_captureStarting = true;
    QTimer::singleShot(delay, Qt::PreciseTimer, &m_screenShooter, [this] {
        m_captureStarting = false;
        m_screenShooter.makeScreenshot();
    });
}

void Application::UploadQelt()
{
    markActivity();
    if (m_mainWindow)
        m_mainWindow->ClearGallerySearch();
    m_controllerSwitch->setMode(0);
    if (!IsLoggedIn()) {
        ShowLoginDialog();
        return;
    }
    if (m_mainWindow)
        m_mainWindow->PrepareQeltView(); // loads while the user picks
    const QStringList files = FileDialog::getOpenFileNames(nullptr, tr("Upload Qelt"),
                                                           kKeyLastOpenedFolder.get(), kImageFileFilter);
    // The dialog may stay open while the service refuses the token.
    if (!files.isEmpty() && !IsLoggedIn()) {
        qInfo() << "[Application] Signed out while files were picked: nothing is sent";
        ShowLoginDialog();
        return;
    }
    m_recognition->uploadFiles(files);
}

void Application::RecognizeImage(QPixmap pixmap, bool autoOpenQelt)
{
    m_recognition->RecognizeImage(pixmap, autoOpenQelt);
}

void Application::SendImageToRecongnition(QByteArray optionsJson, QByteArray file, int attempt, QPixmap pm,
                                          bool autoOpenQelt)
{
    m_recognition->SendImageToRecongnition(optionsJson, file, attempt, pm, autoOpenQelt);
}

void Application::QeltRecognizedHandler(ZorvaneQeltPtr qelt)
{
    // The pad's answer came after the sign-out: it belongs to nobody signed in here.
    if (!IsLoggedIn()) {
        qInfo() << "[Application] A Qelt recognised after the sign-out is dropped";
        return;
    }
    m_recognition->QeltRecognizedHandler(qelt);
}

void Application::ImageQeltRecognizedHandler(ZorvaneQeltPtr qelt, QPixmap pm, bool autoOpenQelt)
{
    m_recognition->ImageQeltRecognizedHandler(qelt, pm, autoOpenQelt);
}

void Application::ShowRateLimitDialog(const QString& message)
{
    RateLimitDialog* dialog = RateLimitDialog::showMessage(message, visibleMainWindow());
    connect(dialog, &RateLimitDialog::contactUs, this, &Application::OnRateLimitContact);
}

void Application::OnRateLimitContact()
{
    // Whoever is signed in or not: sending meets the token test.
    m_windows->showFeedback(true);
}

void Application::OpenAppWindow()
{
    if (!m_mainWindow)
        return;
    markActivity();
    if (!IsLoggedIn()) {
        ShowLoginDialog();
        return;
    }
    if (m_mainWindow->isMaximized())
        m_mainWindow->isMinimized() ? m_mainWindow->showMaximized() : m_mainWindow->show();
    else
        m_mainWindow->showNormal();
    m_mainWindow->raise();
    m_mainWindow->activateWindow();
}

void Application::OpenLatexEditWindow()
{
    if (IsLoggedIn() && m_mainWindow)
        m_mainWindow->ShowCreatePage(false);
}

void Application::OpenMarkdownEditWindow()
{
    if (IsLoggedIn() && m_mainWindow)
        m_mainWindow->ShowCreatePage(true);
}

void Application::ShowContextMenu(QPoint pos)
{
    m_tray->execContextMenu(pos, m_signIn.email());
}

void Application::ShowUserGuide()
{
    QDesktopServices::openUrl(QUrl(utils::siteUrl() + QStringLiteral("/docs/qelt/linux-overview")));
}

void Application::ShowMyAccount()
{
    QDesktopServices::openUrl(QUrl(utils::accountsUrl() + QLatin1Char('/')));
}

void Application::ShowTutorial()
{
    m_windows->showTutorial();
}

void Application::ShowAbout()
{
    m_windows->showAbout();
}

void Application::ShowSettings(int tabIndex)
{
    m_windows->showSettings(tabIndex);
}

void Application::connectSettings(SettingsDialog* dialog)
{
    connect(dialog, &SettingsDialog::UpdateShortcutLatex, this,
            &Application::UpdateShortcutsGetLatexAndLogOut);
    connect(dialog, &SettingsDialog::UpdateShortcutReload, this, &Application::UpdateShortcutReload);
    connect(dialog, &SettingsDialog::UpdateShortcutLatexEdit, this, &Application::UpdateShortcutLatexEdit);
    connect(dialog, &SettingsDialog::UpdateShortcutMarkdownEdit, this,
            &Application::UpdateShortcutMarkdownEdit);
    if (m_mainWindow) {
        connect(dialog, &SettingsDialog::FormattingChanged, m_mainWindow,
                &LatexResultDialog::OnFormattingChanged);
        connect(dialog, &SettingsDialog::NonLatexFormatsChanged, m_mainWindow,
                &LatexResultDialog::OnNonLatexFormatsChanged);
    }
}

void Application::SendFeedbackClicked()
{
    if (IsLoggedIn())
        m_windows->showFeedback(true);
    else
        m_windows->showFeedbackNeedsSignIn();
}

void Application::SendFeedback(QString text, QString email)
{
    m_usage->SendFeedback(text, email);
}

void Application::SendEvent(const QString& name, const QString& email)
{
    m_usage->SendEvent(name, email);
}

void Application::CheckUpdates()
{
    if (m_tray->updateCheckRunning() || !m_tray->checkUpdatesAction() || !m_updateController)
        return;
    m_tray->updateCheckStarted();
    QMetaObject::invokeMethod(m_updateController, "UserCheckUpdate", Qt::AutoConnection);
}

void Application::OnCheckUpdateFinished(CheckUpdateResult result)
{
    const UpdateNotice notice = updateNotice(result, m_tray->updateCheckRunning());
    if (notice.offerUpdate) {
        m_tray->offerUpdate(notice.actionText, notice.balloon);
    } else if (notice.restoreCheckAction) {
        m_tray->updateCheckEnded(notice.actionText);
        m_tray->showNotice(notice.balloon);
    }
}

void Application::ShowLoginDialog()
{
    m_windows->showLogin(kKeyEventLogin.contains() || kKeyEventSignUp.contains());
}

void Application::OnLoggedIn(QString email, QString token)
{
    m_signIn.signIn(email, token);
    m_usage->signedIn();
    APIHandler::GetImproveOCRSetting();
    if (m_mainWindow)
        m_mainWindow->GetUserSettings();
    UpdateShortcutsGetLatexAndLogOut();
    if (!kKeyEventLogin.contains()) {
        SendEvent(QStringLiteral("initial_login"), m_signIn.email());
        kKeyEventLogin.set(true);
    }
    // Without a tray the main window is the only way back to the program.
    if (!kKeySystemTrayAvailable.get() && m_mainWindow)
        m_mainWindow->show();
}

void Application::LogOut()
{
    signOut(false);
}

void Application::signOut(bool tokenRefused)
{
    m_signIn.signOut(tokenRefused);
    // Nothing of this account's uploads reaches the next one, nor brings its window back.
    m_recognition->cancelPending();
    m_windowHiddenForCapture = false;
    if (m_mainWindow) {
        m_mainWindow->OnLoggedOut();
        if (kKeySystemTrayAvailable.get())
            m_mainWindow->close();
        else
            m_mainWindow->hide();
    }
    UpdateShortcutsGetLatexAndLogOut();
    ShowLoginDialog();
}

void Application::Restart()
{
    if (m_mainWindow)
        m_mainWindow->SaveFeedbackRecord();
    exit(RestartLauncher::kRestartCode);
}

void Application::SilentRestart()
{
    if (m_mainWindow)
        m_mainWindow->SaveFeedbackRecord();
    exit(RestartLauncher::kSilentRestartCode);
}

void Application::UpdateShortcutsGetLatexAndLogOut()
{
    const QString hotkeyText = m_hotkeys->updateLatex();
    if (m_mainWindow)
        m_mainWindow->gallery()->setHelloHotkey(hotkeyText);
    m_tray->showAccount(IsLoggedIn() ? m_signIn.email() : QString(), hotkeyText);
}

void Application::UpdateShortcutReload()
{
    m_tray->showOpenWindowHotkey(m_hotkeys->updateReload());
}

void Application::UpdateShortcutLatexEdit()
{
    m_hotkeys->updateLatexEdit();
}

void Application::UpdateShortcutMarkdownEdit()
{
    m_hotkeys->updateMarkdownEdit();
}
