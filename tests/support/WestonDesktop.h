#pragma once

#include <QList>
#include <QSize>

namespace zq::test {

// Starts weston as a Wayland desktop of outputs of the given sizes, side by side from the left, nested in the
// X server of the test run (one X window per output), and points the application at it: WAYLAND_DISPLAY and
// Qt's Wayland platform. Returns once the desktop takes clients with every output and its shell; exits the
// process with a message when it cannot. Call before the application object exists. The compositor goes
// with this process, also when the process crashes.
void startWestonDesktop(const QList<QSize>& outputs);

} // namespace zq::test
