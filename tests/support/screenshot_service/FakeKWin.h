#pragma once

#include "Script.h"

#include <QDBusUnixFileDescriptor>
#include <QObject>

// org.kde.kwin.Screenshot: streams the script's picture into the passed pipe, in chunks with pauses.
class FakeKWin : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.kwin.Screenshot")

public:
    explicit FakeKWin(const Script& script) : script(script) {}

public slots:
    void screenshotFullscreen(const QDBusUnixFileDescriptor& fd, bool captureCursor);

private:
    const Script& script;
};
