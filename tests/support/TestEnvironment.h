#pragma once

#include <QByteArray>
#include <QString>

namespace zq::test {

// How long any test waits for a condition. A wait that is met returns at once: the bound only decides how
// late a failure shows. Generous, as the whole suite at once (each editor page with its browser processes)
// may take seconds on a loaded machine for what alone takes milliseconds.
constexpr int kWaitMs = 60000;

// Points HOME and the XDG folders at a fresh temporary folder for this process. Call before the
// application object exists: Qt reads these variables once.
void prepareEnvironment();

// The application's names and meta types, as main sets them.
void prepareApplication();

// The temporary HOME of this process.
QString homePath();

// Removes every stored setting, so that a test function starts from a first run.
void clearSettings();

// The settings file as QSettings names it for this process.
QString settingsFilePath();

// Writes the settings file byte for byte, as an earlier run (or a damaged disk) left it.
// QSettings keeps parsed files inside one process: read it back in a child process, or call
// this before the first QSettings of the process.
bool writeRawSettings(const QByteArray& content);

} // namespace zq::test
