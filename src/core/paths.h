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

// The data folder and its state folder as far as they can be read: the cleaned path when it is an
// existing folder that can be listed, written to or not; empty otherwise. Create nothing and log
// nothing: a data folder that cannot be written still shows what it holds.
QString readableDataPath();
QString readableStatePath();
// `path` when it is an existing folder that can be listed; empty otherwise.
QString readableFolder(const QString& path);

// `path` made when missing, when it is a folder that can be written; otherwise empty, with `failure`
// and the path logged at critical level once. Any thread.
QString usableFolder(const QString& path, const char* failure);

// The logs folder in the application's data folder; empty without a data location. Creates nothing.
QString logsPath();

// Renames a stored file that cannot be read to "<path>.damaged-<UTC time>" beside it, so that the next
// save cannot overwrite what is left of it; a second one in the same second gets "-2" and so on.
// Returns the new path, or an empty string when the file could not be moved.
QString setAside(const QString& path);

// The whole text of a file; empty when it cannot be opened.
QString readTextFile(const QString& path);

// The AppImage this process runs from (the APPIMAGE variable); empty when unset.
QString appImagePath();

} // namespace utils
