#pragma once

#include "auth/LoginDialog.h"
#include "core/ResultFormat.h"
#include "dialogs/FeedbackDialog.h"
#include "dialogs/SettingsDialog.h"
#include "dialogs/TutorialDialog.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <optional>

class BusyWindows;
class Hotkeys;
class LatexResultDialog;

// The windows the user opens from the menus, at most one of each: settings, tutorial, feedback, About and
// the sign-in window. Each but the sign-in window counts as work in progress while it is open; closing
// one counts as the user's activity. The application wires what each window announces as it is made.
// GUI thread only.
class OnDemandWindows : public QObject
{
    Q_OBJECT

public:
    OnDemandWindows(Hotkeys& hotkeys, BusyWindows& busy, QObject* parent = nullptr);

    // The settings window opens over the main window while that is shown.
    void setMainWindow(LatexResultDialog* mainWindow);

    // Brings an open window forward (a new tab is not applied to it), unless it was opened while the main
    // window was hidden and the main window now shows: then it gives way to a new one over the main
    // window, on tabIndex and with the formatting the old one showed. The hotkeys pause while it is open.
    void showSettings(int tabIndex);
    void showTutorial();
    // hideEmail: the service knows the sender from the token.
    void showFeedback(bool hideEmail);
    // Feedback needs an account: says so, over the sign-in window when that is open.
    void showFeedbackNeedsSignIn();
    // Modal; returns when it closes.
    void showAbout();
    bool aboutRunning() const { return m_aboutRunning; }
    // loginFirst: the first page is the login page, else the sign-up page. An open window is brought
    // forward instead.
    void showLogin(bool loginFirst);

    SettingsDialog* settings() const { return m_settings; }
    TutorialDialog* tutorial() const { return m_tutorial; }
    FeedbackDialog* feedback() const { return m_feedback; }
    LoginDialog* login() const { return m_login; }

signals:
    // A window was made; connections to it are made here, before it shows.
    void settingsMade(SettingsDialog* dialog);
    void feedbackMade(FeedbackDialog* dialog);
    void loginMade(LoginDialog* dialog);
    // The user closed one of the windows.
    void activity();

private:
    QWidget* visibleMainWindow() const;
    void openSettings(QWidget* parent, int tabIndex, const std::optional<utils::ResultFormat>& carriedFormat);
    static void bringForward(QWidget* window);

    Hotkeys& m_hotkeys;
    BusyWindows& m_busy;
    QPointer<LatexResultDialog> m_mainWindow;
    QPointer<SettingsDialog> m_settings;
    QPointer<TutorialDialog> m_tutorial;
    QPointer<FeedbackDialog> m_feedback;
    QPointer<LoginDialog> m_login;
    bool m_aboutRunning = false;
};
