#include "app/Tray.h"

#include "core/ui/MessageBox.h"

#include <QAction>
#include <QApplication>
#include <QMap>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWindow>

#include <utility>

namespace {

// Ordered by name: the first is the fallback of every other theme.
const QMap<QString, QString>& themeIcons()
{
    static const QMap<QString, QString> icons{
        {QStringLiteral("HighContrast"), QStringLiteral(":/logo/logo (32x32).svg")},
        {QStringLiteral("ubuntu-mono-dark"), QStringLiteral(":/logo/logo-white (32x32).svg")},
        {QStringLiteral("ubuntu-mono-light"), QStringLiteral(":/logo/logo-black (32x32).svg")},
    };
    return icons;
}

const QString kSpacer = QStringLiteral("   ");

QString withHotkey(const QString& text, const QString& hotkeyText)
{
    return hotkeyText.isEmpty() ? text : text + kSpacer + hotkeyText;
}

} // namespace

Tray::Tray(QObject* parent) : QObject(parent), m_menu(std::make_unique<QMenu>())
{
    // The two placeholders are replaced by the hotkey texts before the menu can be seen.
    m_getLatex = addEntry(m_menu.get(), QStringLiteral("Get LaTeX ???"), Command::GetLatex);
    m_menu->addSeparator();
    m_openWindow = addEntry(m_menu.get(), QStringLiteral("Open App Window ???"), Command::OpenWindow);
    addEntry(m_menu.get(), tr("&User Guide"), Command::UserGuide);
    addEntry(m_menu.get(), tr("&My Account"), Command::MyAccount);
    addEntry(m_menu.get(), tr("Tutorial"), Command::Tutorial);
    addEntry(m_menu.get(), tr("Settings"), Command::Settings);
    addEntry(m_menu.get(), tr("Send feedback"), Command::Feedback);
    m_menu->addSeparator();
    addEntry(m_menu.get(), tr("About"), Command::About);
    m_checkUpdates = addEntry(m_menu.get(), tr("Check for Updates..."), Command::CheckUpdates);
    m_logout = addEntry(m_menu.get(), tr("Log out"), Command::LogOut);
    addEntry(m_menu.get(), tr("Quit"), Command::Quit);
}

Tray::~Tray()
{
    // The icon refers to the menu: it goes first.
    delete m_icon;
}

QAction* Tray::addEntry(QMenu* menu, const QString& text, Command command)
{
    QAction* action = menu->addAction(text);
    connect(action, &QAction::triggered, this, [this, command] { emit commanded(command); });
    return action;
}

QString Tray::iconThemeFor(const QString& themeName)
{
    return themeIcons().contains(themeName) ? themeName : themeIcons().firstKey();
}

QIcon Tray::iconFor(const QString& themeName)
{
    return QIcon(themeIcons().value(iconThemeFor(themeName)));
}

void Tray::showIcon(int themeCheckIntervalMs)
{
    if (m_icon) {
        m_themeTimer->start(themeCheckIntervalMs);
        m_icon->show();
        return;
    }
    m_icon = new QSystemTrayIcon(this);
    m_icon->setContextMenu(m_menu.get());
    connect(m_icon, &QSystemTrayIcon::messageClicked, this, &Tray::onMessageClicked);
    UpdateTrayIcon();
    // Desktops switch their icon theme at run time without telling.
    m_themeTimer = new QTimer(this);
    connect(m_themeTimer, &QTimer::timeout, this, &Tray::onThemeTimer);
    m_themeTimer->start(themeCheckIntervalMs);
    m_icon->show();
}

void Tray::hideIcon()
{
    if (m_icon)
        m_icon->hide();
    if (m_themeTimer)
        m_themeTimer->stop();
    if (m_hostTimer)
        m_hostTimer->stop();
}

void Tray::watchForHost(int checkIntervalMs)
{
    if (!m_hostTimer) {
        m_hostTimer = new QTimer(this);
        connect(m_hostTimer, &QTimer::timeout, this, &Tray::checkForHost);
    }
    m_hostTimer->start(checkIntervalMs);
}

bool Tray::isWatchingForHost() const
{
    return m_hostTimer && m_hostTimer->isActive();
}

void Tray::checkForHost()
{
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    m_hostTimer->stop();
    emit hostArrived();
}

bool Tray::iconPlaced() const
{
    if (!m_icon || !m_icon->isVisible())
        return false;
    // Qt's own icon window has its place once the tray host has taken it in and shows it. An icon of
    // the desktop's notifier service has no window here: the desktop places it and its messages.
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->inherits("QSystemTrayIconSys"))
            return window->windowHandle() && window->windowHandle()->isExposed();
    return true;
}

void Tray::onThemeTimer()
{
    UpdateTrayIcon();
    if (!m_noticeWhenPlaced.isEmpty() && iconPlaced())
        showNotice(std::exchange(m_noticeWhenPlaced, QString()));
}

void Tray::UpdateTrayIcon()
{
    const QString theme = iconThemeFor(QIcon::themeName());
    if (theme == m_iconTheme)
        return;
    m_iconTheme = theme;
    if (m_icon)
        m_icon->setIcon(iconFor(theme));
}

void Tray::showAccount(const QString& email, const QString& hotkeyText)
{
    const bool signedIn = !email.isEmpty();
    m_logout->setVisible(signedIn);
    if (signedIn)
        m_logout->setText(tr("Logout of %1").arg(email));
    m_openWindow->setEnabled(signedIn);
    m_getLatex->setText(withHotkey(signedIn ? tr("Get LaTeX") : tr("Login"), hotkeyText));
}

void Tray::showOpenWindowHotkey(const QString& hotkeyText)
{
    m_openWindow->setText(withHotkey(tr("Open App Window"), hotkeyText));
}

void Tray::updateCheckStarted()
{
    m_updateCheckRunning = true;
    if (m_checkUpdates) {
        m_checkUpdates->setText(tr("Check for Updates... (Running)"));
        m_checkUpdates->setEnabled(false);
    }
}

void Tray::updateCheckEnded(const QString& actionText)
{
    m_updateCheckRunning = false;
    if (m_checkUpdates) {
        m_checkUpdates->setText(actionText);
        m_checkUpdates->setEnabled(true);
    }
}

void Tray::offerUpdate(const QString& actionText, const QString& balloon)
{
    if (m_checkUpdates) {
        m_menu->removeAction(m_checkUpdates);
        delete m_checkUpdates;
        m_checkUpdates = nullptr;
    }
    if (!m_updateNow) {
        m_updateSeparator = m_menu->addSeparator();
        m_updateNow = addEntry(m_menu.get(), actionText, Command::UpdateNow);
    }
    showBalloon(balloon, QSystemTrayIcon::Information);
    // After the balloon, which clears the offer of any earlier one.
    m_updateOffered = true;
    m_updateCheckRunning = false;
}

void Tray::withdrawUpdate()
{
    delete m_updateNow;
    m_updateNow = nullptr;
    delete m_updateSeparator;
    m_updateSeparator = nullptr;
    if (!m_checkUpdates) {
        // Back where it was, above the log-out entry.
        m_checkUpdates = addEntry(m_menu.get(), tr("Check for Updates..."), Command::CheckUpdates);
        m_menu->removeAction(m_checkUpdates);
        m_menu->insertAction(m_logout, m_checkUpdates);
    }
    m_updateOffered = false;
}

void Tray::showError(const QString& text)
{
    if (m_icon)
        showBalloon(text, QSystemTrayIcon::Warning);
    else
        MessageBox::warning(nullptr, QCoreApplication::applicationName(), text, QMessageBox::Ok,
                            QMessageBox::NoButton);
    m_updateOffered = false;
}

void Tray::showNotice(const QString& text)
{
    showBalloon(text, QSystemTrayIcon::Information);
    m_updateOffered = false;
}

void Tray::showNoticeWhenPlaced(const QString& text)
{
    if (iconPlaced())
        showNotice(text);
    else
        m_noticeWhenPlaced = text;
}

void Tray::showBalloon(const QString& text, int icon)
{
    if (m_icon)
        m_icon->showMessage(QCoreApplication::applicationName(), text, QSystemTrayIcon::MessageIcon(icon),
                            kMessageMs);
}

void Tray::onMessageClicked()
{
    // Only the balloon that offered the update says that a click runs it.
    if (m_updateOffered)
        emit commanded(Command::UpdateNow);
}

void Tray::execContextMenu(const QPoint& pos, const QString& email)
{
    QMenu menu;
    addEntry(&menu, tr("&Settings"), Command::Settings);
    addEntry(&menu, tr("&Send Feedback"), Command::Feedback);
    addEntry(&menu, tr("&User Guide"), Command::UserGuide);
    addEntry(&menu, tr("&My Account"), Command::MyAccount);
    addEntry(&menu, tr("&Tutorial"), Command::Tutorial);
    menu.addSeparator();
    addEntry(&menu, tr("&About"), Command::About);
    if (m_checkUpdates) {
        QAction* check = addEntry(
            &menu, m_updateCheckRunning ? tr("&Check for Updates... (Running)") : tr("&Check for Updates..."),
            Command::CheckUpdates);
        check->setEnabled(!m_updateCheckRunning);
    }
    addEntry(&menu, tr("&Log out %1").arg(email), Command::LogOut);
    addEntry(&menu, tr("&Quit"), Command::Quit);
    if (m_updateOffered) {
        menu.addSeparator();
        addEntry(&menu, tr("&Update now"), Command::UpdateNow);
    }
    menu.exec(pos);
}
