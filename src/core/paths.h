#pragma once

#include <QString>

namespace utils {

// The state folder (Qelt containers, image index) in the application's data folder; exists on return.
// Without it the application cannot run: it logs at critical level and ends the process with code 1.
QString statePath();

// The logs folder in the application's data folder; empty without a data location. Creates nothing.
QString logsPath();

// The whole text of a file; empty when it cannot be opened.
QString readTextFile(const QString& path);

// The AppImage this process runs from (the APPIMAGE variable); empty when unset.
QString appImagePath();

} // namespace utils
