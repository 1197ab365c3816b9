#pragma once

#include <QByteArray>
#include <QString>

namespace utils {

// "~/.config/autostart/zorvane-qelting-tool.desktop"; empty when the folder cannot be made.
QString autostartFilePath();

// Whether the entry exists and starts this AppImage.
bool isAutostartEnabled();

// Writes or removes the entry so that it is as requested, then records that start at login was set up.
// Needs an APPIMAGE path that fits in the entry; otherwise it only warns.
void setAutostart(bool enable);

// Whether start at login was set up once (the key's presence; its value is never read).
bool autostartChanged();

// The text after the literal "Exec=" of a desktop entry's [Desktop Entry] group, read as UTF-8 with no
// unescaping; null when there is none.
QString desktopEntryExec(const QByteArray& content);

} // namespace utils
