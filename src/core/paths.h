#pragma once

#include <QString>

namespace utils {

// The state folder (Qelt containers, image index) in the application's data folder; exists on return.
// Without it the application cannot run: it logs at critical level and ends the process with code 1.
QString statePath();

// The application's data folder when files can be kept there: cleaned, made when missing, a folder that
// can be written. Empty otherwise, with one critical log line per fault however often it is asked, so
// that callers go on in memory. Any thread.
QString usableDataPath();

// The state folder in the usable data folder, made when missing; empty (logged once) when either cannot
// be used. Unlike statePath it never ends the process.
QString usableStatePath();

// `path` made when missing, when it is a folder that can be written; otherwise empty, with `failure`
// and the path logged at critical level once. Any thread.
QString usableFolder(const QString& path, const char* failure);

// The logs folder in the application's data folder; empty without a data location. Creates nothing.
QString logsPath();

// The whole text of a file; empty when it cannot be opened.
QString readTextFile(const QString& path);

// The AppImage this process runs from (the APPIMAGE variable); empty when unset.
QString appImagePath();

} // namespace utils
