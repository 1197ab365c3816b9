#pragma once

#include <QList>
#include <QRect>

namespace zq::test {

// Starts a real Xorg server with the dummy video driver on a free display, one monitor per rectangle
// laid out with xrandr, and points DISPLAY at it; exits the process with a message when it cannot.
// Needs root (as in CI). Call before the application object exists: Qt opens the display once. The
// server goes with this process, also when the process crashes.
void startDummyDesktop(const QList<QRect>& monitors);

} // namespace zq::test
