#pragma once

#include "app/BusyWindows.h"
#include "app/SignInState.h"
#include "app/flows/AppInterface.h"
#include "capture/ScreenShooter.h"
#include "library/QeltsController.h"

#include <QApplication>
#include <QPointer>
#include <QString>

#include <memory>

class Hotkeys;
class NavigateEventFilter;
class QeltControllerSwitch;
class SaveTimer;
class ShortcutsEventFilter;
class SingleInstance;

// The program's one application object: owns the screen shooter, the library and search-result
// controllers, the hotkeys and the navigation keys; keeps the program to one instance per user, wires
// the parts together at start, restarts on request and saves the library at the end. The work is done by
// the collaborators it owns, one concern each.
class Application : public QApplication, public AppInterface
{
    Q_OBJECT

public:
    // The built-in version, unless "-set_version" is followed by another.
    static QString versionFromArguments(const QStringList& arguments);

    Application(int& argc, char** argv);
    ~Application() override;

    // The single-instance check, Init, the event loop, Cleanup and a restart when the loop asked for
    // one; the process's exit code (1 when another instance runs).
    int Run();
    bool CheckSingleInstance();
    void Init();
    void Cleanup();

    bool IsLoggedIn() const;
    // Nothing the user may be at work in is open: the updater may replace the program.
    bool IsIdle() const override;

    // Until the tray joins, errors show in a warning box and notices only in the log.
    void ShowErrorMessage(const QString& text);
    void ShowTrayMessage(const QString& text);

    QString version() const { return m_version; }
    ScreenShooter& screenShooter() { return m_screenShooter; }
    QeltsController& library() { return m_qeltsController; }
    QeltsController& searchResults() { return m_searchController; }
    QeltControllerSwitch& controllerSwitch() { return *m_controllerSwitch; }
    SingleInstance& singleInstance() { return *m_singleInstance; }
    ShortcutsEventFilter* hotkeyFilter() const;
    NavigateEventFilter* navigateFilter() const { return m_navigateFilter; }
    // Where the windows that keep the user busy are registered as they open.
    BusyWindows& busyWindows() { return m_busyWindows; }

    // Wait before a capture so that a window or menu of ours has left the screen.
    static constexpr int kCaptureDelayMs = 333;

public slots:
    void MakeScreenshot();
    void OnLoggedIn(QString email, QString token);
    void Restart();
    void SilentRestart();
    void UpdateShortcutsGetLatexAndLogOut();
    void UpdateShortcutReload();
    void UpdateShortcutLatexEdit();
    void UpdateShortcutMarkdownEdit();
    void LogOut();

private:
    void OnInstanceMessage();

    ScreenShooter m_screenShooter;
    std::unique_ptr<QeltControllerSwitch> m_controllerSwitch;
    Hotkeys* m_hotkeys = nullptr;
    NavigateEventFilter* m_navigateFilter = nullptr;
    SingleInstance* m_singleInstance = nullptr;
    SaveTimer* m_saveTimer = nullptr;
    QString m_version;
    bool m_windowHiddenForCapture = false;
    QeltsController m_qeltsController;
    QeltsController m_searchController;
    SignInState m_signIn;
    BusyWindows m_busyWindows;
};
