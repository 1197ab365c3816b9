#include "app/OnDemandWindows.h"

#include "api/APIHandler.h"
#include "app/BusyWindows.h"
#include "app/Hotkeys.h"
#include "auth/LoginDialog.h"
#include "core/identity.h"
#include "core/ui/MessageBox.h"
#include "dialogs/FeedbackDialog.h"
#include "dialogs/SettingsDialog.h"
#include "dialogs/TutorialDialog.h"
#include "ui_About.h"
#include "view/window/LatexResultDialog.h"

#include <QCoreApplication>

namespace {

const char kSupportAddress[] = "support@zorvane.com";

} // namespace

OnDemandWindows::OnDemandWindows(Hotkeys& hotkeys, BusyWindows& busy, QObject* parent)
    : QObject(parent), m_hotkeys(hotkeys), m_busy(busy)
{
}

void OnDemandWindows::setMainWindow(LatexResultDialog* mainWindow)
{
    m_mainWindow = mainWindow;
}

QWidget* OnDemandWindows::visibleMainWindow() const
{
    return m_mainWindow && m_mainWindow->isOnScreen() ? m_mainWindow.data() : nullptr;
}

void OnDemandWindows::bringForward(QWidget* window)
{
    window->raise();
    window->activateWindow();
}

void OnDemandWindows::showSettings(int tabIndex)
{
    // The consent shown on the first tab is the service's.
    APIHandler::GetImproveOCRSetting();
    QWidget* mainWindow = visibleMainWindow();
    if (m_settings && mainWindow && m_settings->parentWidget() != mainWindow) {
        const utils::ResultFormat format = m_settings->GetResultFormat();
        // Sets the hotkeys again and closes the old window.
        m_settings->UpdateAllShortcuts();
        openSettings(mainWindow, tabIndex, format);
        return;
    }
    if (!m_settings)
        openSettings(mainWindow, tabIndex, std::nullopt);
    // The shortcut recorder takes the keys while the window is open; setting a hotkey ends the pause.
    m_hotkeys.pause();
    bringForward(m_settings);
}

void OnDemandWindows::openSettings(QWidget* parent, int tabIndex,
                                   const std::optional<utils::ResultFormat>& carriedFormat)
{
    auto* dialog = new SettingsDialog(parent, tabIndex, carriedFormat);
    m_settings = dialog;
    m_busy.addWhileOpen(dialog);
    connect(dialog, &QObject::destroyed, this, &OnDemandWindows::activity);
    emit settingsMade(dialog);
    m_hotkeys.pause();
    dialog->show();
    bringForward(dialog);
}

void OnDemandWindows::showTutorial()
{
    if (!m_tutorial) {
        auto* dialog = new TutorialDialog();
        m_tutorial = dialog;
        m_busy.addWhileOpen(dialog);
        connect(dialog, &QObject::destroyed, this, &OnDemandWindows::activity);
        dialog->show();
    }
    bringForward(m_tutorial);
}

void OnDemandWindows::showFeedback(bool hideEmail)
{
    if (!m_feedback) {
        auto* dialog = new FeedbackDialog(nullptr, hideEmail);
        m_feedback = dialog;
        m_busy.addWhileOpen(dialog);
        connect(dialog, &QObject::destroyed, this, &OnDemandWindows::activity);
        emit feedbackMade(dialog);
        dialog->show();
    }
    bringForward(m_feedback);
}

void OnDemandWindows::showFeedbackNeedsSignIn()
{
    MessageBox::information(
        m_login, QCoreApplication::applicationName(),
        tr("Please log in to send us feedback.\r\nIf you cannot log in, please send us an "
           "email at ") +
            QLatin1String(kSupportAddress),
        QMessageBox::Ok, QMessageBox::NoButton);
}

void OnDemandWindows::showAbout()
{
    m_aboutRunning = true;
    QDialog dialog;
    Ui_About form;
    form.setupUi(&dialog);
    dialog.setWindowFlags((dialog.windowFlags() & ~Qt::WindowContextHelpButtonHint) |
                          Qt::MSWindowsFixedSizeDialogHint);
    dialog.setWindowIcon(utils::appIcon());
    // The built-in version, whatever the command line says.
    form.lb_version->setText(utils::kAppVersion);
    m_busy.addWhileOpen(&dialog);
    dialog.exec();
    m_aboutRunning = false;
}

void OnDemandWindows::showLogin(bool loginFirst)
{
    if (m_login) {
        bringForward(m_login);
        return;
    }
    auto* dialog = new LoginDialog(loginFirst);
    m_login = dialog;
    emit loginMade(dialog);
    dialog->show();
    bringForward(dialog);
}
