#pragma once

#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>

#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;
class QTimer;

// The application's face in the desktop's tray: the icon (following the icon theme), its menu, the main
// window's context menu, and the two ways the application tells the user something. Every entry of both
// menus comes out as a Command; the application decides what it does. GUI thread only.
class Tray : public QObject
{
    Q_OBJECT

public:
    enum class Command {
        GetLatex,
        OpenWindow,
        UserGuide,
        MyAccount,
        Tutorial,
        Settings,
        Feedback,
        About,
        CheckUpdates,
        LogOut,
        Quit,
        UpdateNow,
    };
    Q_ENUM(Command)

    static constexpr int kThemeCheckIntervalMs = 1000;
    static constexpr int kHostCheckIntervalMs = 1000;
    static constexpr int kMessageMs = 10000;

    explicit Tray(QObject* parent = nullptr);
    ~Tray() override;

    // The icon for the desktop's icon theme: the theme's own where there is one, else the first theme's.
    static QString iconThemeFor(const QString& themeName);
    static QIcon iconFor(const QString& themeName);

    // Puts the icon with the menu into the desktop's tray and follows the icon theme from then on.
    void showIcon(int themeCheckIntervalMs = kThemeCheckIntervalMs);
    void hideIcon();
    // Without a tray host: checks every checkIntervalMs whether one has come, until one has
    // (hostArrived). Desktops start their tray host after the programs that start with them.
    void watchForHost(int checkIntervalMs = kHostCheckIntervalMs);
    bool isWatchingForHost() const;
    // The icon is in the tray host and has its place there: a balloon points at it.
    bool iconPlaced() const;
    // Null while no icon is shown: then errors come in a box and notices are dropped.
    QSystemTrayIcon* icon() const { return m_icon; }
    QString iconTheme() const { return m_iconTheme; }
    void UpdateTrayIcon();

    QMenu* menu() const { return m_menu.get(); }
    QAction* getLatexAction() const { return m_getLatex; }
    QAction* openWindowAction() const { return m_openWindow; }
    QAction* logoutAction() const { return m_logout; }
    // Null once an update is offered in its place.
    QAction* checkUpdatesAction() const { return m_checkUpdates; }
    // Null until an update is offered.
    QAction* updateNowAction() const { return m_updateNow; }

    // The first entry and the log-out entry for the account (an empty e-mail: signed out); hotkeyText is
    // the capture hotkey's text when it is held, else empty.
    void showAccount(const QString& email, const QString& hotkeyText);
    void showOpenWindowHotkey(const QString& hotkeyText);

    // A check the user started runs until updateCheckEnded; both menus show it and offer no second one.
    void updateCheckStarted();
    void updateCheckEnded(const QString& actionText);
    bool updateCheckRunning() const { return m_updateCheckRunning; }
    // "Check for Updates..." gives way to an entry that runs the downloaded update; the balloon that says
    // so runs it too when clicked.
    void offerUpdate(const QString& actionText, const QString& balloon);
    bool updateOffered() const { return m_updateOffered; }
    // The offered update is gone (its run failed): "Check for Updates..." is back in its place.
    void withdrawUpdate();

    // A warning balloon, or a warning box when there is no icon.
    void showError(const QString& text);
    // An information balloon; nothing without an icon.
    void showNotice(const QString& text);
    // The same once the icon has its place, at once when it has: shown before, the balloon would point
    // at the corner of the screen. Kept until an icon is placed.
    void showNoticeWhenPlaced(const QString& text);

    // The main window's menu at pos, built for this one showing; returns when it closes.
    void execContextMenu(const QPoint& pos, const QString& email);

signals:
    void commanded(Tray::Command command);
    void hostArrived();

private:
    QAction* addEntry(QMenu* menu, const QString& text, Command command);
    void showBalloon(const QString& text, int icon);
    void onMessageClicked();
    void onThemeTimer();
    void checkForHost();

    std::unique_ptr<QMenu> m_menu;
    QAction* m_getLatex = nullptr;
    QAction* m_openWindow = nullptr;
    QAction* m_checkUpdates = nullptr;
    QAction* m_logout = nullptr;
    QAction* m_updateNow = nullptr;
    QAction* m_updateSeparator = nullptr;
    QSystemTrayIcon* m_icon = nullptr;
    QTimer* m_themeTimer = nullptr;
    QTimer* m_hostTimer = nullptr;
    QString m_noticeWhenPlaced;
    QString m_iconTheme;
    bool m_updateCheckRunning = false;
    bool m_updateOffered = false;
};
