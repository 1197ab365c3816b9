#pragma once

#include <QSize>

class QProcess;

namespace zq::test {

// Starts an X server of this process's own (Xvfb, one screen of `size`) on a free display and points
// DISPLAY at it; exits the process with a message when it cannot. For tests that hold global hotkeys,
// grab the pointer for a capture or bring a tray host, which the tests running beside them on the run's
// shared server must not meet. Call before the application object exists: Qt opens the display once.
// The server goes with this process, also when the process crashes.
void startPrivateDisplay(const QSize& size);

// Starts a window manager (openbox) on the current display, as a user's desktop has: it reparents and
// decorates windows, places them and answers their requests in its own time. Returns once it manages
// windows; exits the process with a message when it cannot. Call before the application object exists, on
// a display of this process's own. The manager goes with this process, also when the process crashes.
void startWindowManager();

// A tray host (trayer) on the current display while the object lives. Qt notices it a moment after the
// start: wait for QSystemTrayIcon::isSystemTrayAvailable().
class TrayHost
{
public:
    TrayHost();
    ~TrayHost();
    TrayHost(const TrayHost&) = delete;
    TrayHost& operator=(const TrayHost&) = delete;

    bool isRunning() const;

private:
    QProcess* m_process;
};

} // namespace zq::test
