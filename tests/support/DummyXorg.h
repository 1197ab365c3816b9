#pragma once

#include <QList>
#include <QRect>
#include <QString>

#include <sys/types.h>

namespace zq::test {

// A real Xorg server with the dummy video driver on a free display, its monitors laid out with xrandr.
// Needs root (as in CI). Start it before the application object: Qt opens the display once.
class DummyXorg
{
public:
    DummyXorg() = default;
    DummyXorg(const DummyXorg&) = delete;
    DummyXorg& operator=(const DummyXorg&) = delete;
    ~DummyXorg();

    // One monitor per rectangle, in output order; false with error set when the server did not come up.
    bool start(const QList<QRect>& monitors, QString* error);

    // ":N", ready for DISPLAY.
    QString display() const { return displayName; }

private:
    bool configure(const QList<QRect>& monitors, QString* error);

    pid_t pid = -1;
    QString displayName;
    QString folder;
};

// Starts a dummy Xorg desktop with the given monitors and points DISPLAY at it, or exits the process
// with a message; for mains that must run on such a desktop.
DummyXorg& startDummyDesktop(const QList<QRect>& monitors);

} // namespace zq::test
