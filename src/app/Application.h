#pragma once

#include "app/BusyWindows.h"
#include "app/SignInState.h"
#include "app/Tray.h"
#include "app/flows/AppInterface.h"
#include "app/flows/UpdateController.h"
#include "capture/ScreenShooter.h"
#include "library/QeltsController.h"
#include "model/ZorvaneQelt.h"
#include "view/window/LatexResultDialog.h"

#include <QApplication>
#include <QByteArray>
#include <QPixmap>
#include <QPoint>
#include <QPointer>
#include <QString>

#include <memory>

class Hotkeys;
class NavigateEventFilter;
class OnDemandWindows;
class QSessionManager;
class QeltControllerSwitch;
class RecognitionUpload;
class SaveTimer;
class SettingsDialog;
class ShortcutsEventFilter;
class SingleInstance;
class UsageReporter;

// The program's one application object: owns the screen shooter, the library and search-result
// controllers, the hotkeys and the navigation keys, the tray, the on-demand windows, the recognition
// upload, the usage reporter and the updater; keeps the program to one instance per user, wires the parts
// together at start, restarts on request and saves the library at the end. Its slots are the commands of
// the menus, the hotkeys and the windows; the collaborators it owns do the work, one concern each.
class Application : public QApplication, public AppInterface
{
    Q_OBJECT

public:
    // How long the application waits for what; the product keeps the defaults, tests shorten them.
    struct Intervals
    {
        int themeCheckMs = Tray::kThemeCheckIntervalMs;
        int trayHostCheckMs = Tray::kHostCheckIntervalMs;
        UpdateIntervals update;
    };

    // The built-in version, unless "-set_version" is followed by another.
    static QString versionFromArguments(const QStringList& arguments);
    // Tests of everything but the main window: Init makes none (its web views need QtWebEngine), and every
    // step that names it is left out, as the steps do while it does not exist.
    static void setMainWindowForTesting(bool make);

    Application(int& argc, char** argv);
    ~Application() override;

    // Before Init.
    void setIntervals(const Intervals& intervals) { m_intervals = intervals; }

    // The single-instance check, Init, the event loop, Cleanup and a restart when the loop asked for
    // one; the process's exit code (1 when another instance runs).
    int Run();
    bool CheckSingleInstance();
    void Init();
    void Cleanup();

    bool IsLoggedIn() const;
    // Nothing the user may be at work in is open: the updater may replace the program.
    bool IsIdle() const override;

    // A warning balloon, or a warning box without a tray icon.
    void ShowErrorMessage(const QString& text);
    // An information balloon; nothing without a tray icon.
    void ShowTrayMessage(const QString& text);
    // The sign-in window, on its sign-up page the first time on this machine.
    void ShowLoginDialog();
    // Not modal; over the main window while that is shown.
    void ShowRateLimitDialog(const QString& message);
    void OnRateLimitContact();
    // A one-time usage event; an empty e-mail sends the saved one, if any.
    void SendEvent(const QString& name, const QString& email);
    void OnCheckUpdateFinished(CheckUpdateResult result);

    QString version() const { return m_version; }
    QString userEmail() const { return m_signIn.email(); }
    ScreenShooter& screenShooter() { return m_screenShooter; }
    QeltsController& library() { return m_qeltsController; }
    QeltsController& searchResults() { return m_searchController; }
    QeltControllerSwitch& controllerSwitch() { return *m_controllerSwitch; }
    SingleInstance& singleInstance() { return *m_singleInstance; }
    ShortcutsEventFilter* hotkeyFilter() const;
    NavigateEventFilter* navigateFilter() const { return m_navigateFilter; }
    // Where the windows that keep the user busy are registered as they open.
    BusyWindows& busyWindows() { return m_busyWindows; }
    Tray& tray() { return *m_tray; }
    OnDemandWindows& windows() { return *m_windows; }
    RecognitionUpload& recognition() { return *m_recognition; }
    UsageReporter& usage() { return *m_usage; }
    // Made by Init, gone after Cleanup.
    UpdateController* updateController() const { return m_updateController; }
    LatexResultDialog* mainWindow() const { return m_mainWindow; }

    // Wait before a capture so that a window or menu of ours has left the screen.
    static constexpr int kCaptureDelayMs = 333;

public slots:
    void MakeScreenshot();
    void UploadQelt();
    void SendFeedbackClicked();
    void SendFeedback(QString text, QString email);
    void OnLoggedIn(QString email, QString token);
    void ShowTutorial();
    void ShowUserGuide();
    void ShowAbout();
    void CheckUpdates();
    void RecognizeImage(QPixmap pixmap, bool autoOpenQelt);
    void SendImageToRecongnition(QByteArray optionsJson, QByteArray file, int attempt, QPixmap pm,
                                 bool autoOpenQelt);
    void ShowSettings(int tabIndex);
    void ShowMyAccount();
    void QeltRecognizedHandler(ZorvaneQeltPtr qelt);
    void ImageQeltRecognizedHandler(ZorvaneQeltPtr qelt, QPixmap pm, bool autoOpenQelt);
    void OpenAppWindow();
    void Restart();
    void SilentRestart();
    void OpenLatexEditWindow();
    void OpenMarkdownEditWindow();
    void UpdateShortcutsGetLatexAndLogOut();
    void UpdateShortcutReload();
    void UpdateShortcutLatexEdit();
    void UpdateShortcutMarkdownEdit();
    void LogOut();
    void ShowContextMenu(QPoint pos);

private:
    void OnInstanceMessage();
    // SIGTERM, SIGINT or SIGHUP: the end of the session, or the user ending the program.
    void onQuitSignal(int number);
    // The session manager may end the program without another word: the library goes to disk now.
    void onCommitData(QSessionManager& manager);
    void onTrayCommand(Tray::Command command);
    // A tray host came after the start: from now on the program lives in the tray.
    void onTrayHostArrived();
    // afterMenu: a menu entry just picked is still on the screen for a moment.
    void beginCapture(bool afterMenu);
    void connectFlows();
    void makeMainWindow();
    void onScreenshotReady(const QPixmap& pixmap);
    // The capture on the screen ended without a region (cancelled, or the grab failed): the window it hid
    // comes back.
    void onCaptureEnded();
    // The upload of an earlier capture's region gave no Qelt: the window comes back, unless another
    // capture is on the screen now, whose own end decides.
    void onCaptureGaveNoQelt();
    void OnQeltRemoveRequested(const QString& qeltId);
    // The main window when it is on the screen.
    LatexResultDialog* visibleMainWindow() const;
    void connectSettings(SettingsDialog* dialog);
    void markActivity();
    void quitFromMenu();
    // LogOut, or the service refused the token: then nothing more goes out with it.
    void signOut(bool tokenRefused);

    ScreenShooter m_screenShooter;
    QPointer<LatexResultDialog> m_mainWindow;
    std::unique_ptr<QeltControllerSwitch> m_controllerSwitch;
    Hotkeys* m_hotkeys = nullptr;
    NavigateEventFilter* m_navigateFilter = nullptr;
    Tray* m_tray = nullptr;
    OnDemandWindows* m_windows = nullptr;
    SingleInstance* m_singleInstance = nullptr;
    SaveTimer* m_saveTimer = nullptr;
    QString m_version;
    UpdateController* m_updateController = nullptr;
    RecognitionUpload* m_recognition = nullptr;
    UsageReporter* m_usage = nullptr;
    // A capture hid the main window, and nothing has shown it since: the capture's end brings it back,
    // with a Qelt or without.
    bool m_windowHiddenForCapture = false;
    // The region of the capture under way has come; the other screens' overlays deliver nothing.
    bool m_captureDelivered = false;
    bool m_cancelCheckQueued = false;
    // A capture waits for a window or menu of ours to leave the screen.
    bool m_captureStarting = false;
    // The event loop was asked to end, or has ended: a signal changes nothing any more.
    bool m_ending = false;
    Intervals m_intervals;
    QeltsController m_qeltsController;
    QeltsController m_searchController;
    SignInState m_signIn;
    BusyWindows m_busyWindows;
};
