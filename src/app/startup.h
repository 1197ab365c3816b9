#pragma once

#include <QByteArray>
#include <QProcessEnvironment>

#include <functional>

class Application;

namespace startup {

// The platform plugin to ask for, or empty to leave Qt's choice: X11 whenever nothing was asked for and
// an X display exists, also under Wayland, whose compositors place the capture overlays themselves (all
// on one screen) while Xwayland places them where they are moved.
QByteArray platformFor(const QProcessEnvironment& environment);

// The web engine's switches: the user's own (QTWEBENGINE_CHROMIUM_FLAGS) followed by ours, which put
// every editor page of the program into one renderer process. A switch the user gave keeps the user's value.
QByteArray chromiumFlags(const QByteArray& userFlags);

// What must be set before any Qt object exists: the web engine's sandbox and switches, the GL integration on
// the systems that need it, the platform, the value types, the names that key settings and folders, and the
// high-DPI attributes.
void prepareProcess();

} // namespace startup

// The whole program: prepares the process, makes the application, checks and migrates the settings,
// starts crash reporting and the log file, runs the application and takes it all down in order; the
// process's exit code. `beforeRun` sees the application just before it runs (tests watch it so).
int runProgram(int& argc, char** argv, const std::function<void(Application&)>& beforeRun = {});
