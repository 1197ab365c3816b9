#include "support/DummyXorg.h"

#include "support/XServer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace zq::test {

namespace {

const char kConfig[] = R"(Section "ServerFlags"
    Option "AutoAddDevices" "false"
    Option "AutoEnableDevices" "false"
    Option "DontVTSwitch" "true"
EndSection
Section "Device"
    Identifier "dummy"
    Driver "dummy"
    VideoRam 512000
EndSection
Section "Monitor"
    Identifier "monitor"
    HorizSync 5.0 - 1000.0
    VertRefresh 5.0 - 200.0
EndSection
Section "Screen"
    Identifier "screen"
    Device "dummy"
    Monitor "monitor"
    DefaultDepth 24
    SubSection "Display"
        Depth 24
        Virtual 8192 4096
    EndSubSection
EndSection
)";

struct Server
{
    QTemporaryDir folder{QDir::tempPath() + "/zq-xorg-XXXXXX"};
    pid_t pid = -1;
    ~Server() { stopXServer(pid); }
};

[[noreturn]] void fail(const QString& why)
{
    std::fprintf(stderr, "Cannot start the dummy Xorg desktop: %s\n", qPrintable(why));
    std::exit(1);
}

void run(const QString& command)
{
    if (std::system(qPrintable(command)) != 0)
        fail(command);
}

} // namespace

void startDummyDesktop(const QList<QRect>& monitors)
{
    static Server server;
    QFile config(server.folder.filePath("xorg.conf"));
    if (!QDir(server.folder.path()).mkpath("conf.d") || !config.open(QIODevice::WriteOnly) ||
        config.write(kConfig) < 0 || !config.flush())
        fail("cannot prepare " + server.folder.path());
    const QByteArray folder = QFile::encodeName(server.folder.path());
    server.pid = startXServer("Xorg", {"-noreset", "-nolisten", "tcp", "-config", folder + "/xorg.conf",
                                       "-configdir", folder + "/conf.d", "-logfile", folder + "/xorg.log"});
    if (server.pid < 0)
        fail("Xorg did not start; see " + QString::fromLocal8Bit(folder) + "/xorg.log");

    QString layout = "xrandr";
    for (int i = 0; i < monitors.size(); ++i) {
        const QRect& m = monitors.at(i);
        const QString mode = QString("zq%1x%2").arg(m.width()).arg(m.height());
        // Modes the driver does not list are made from a generic timing; a mirrored monitor finds its mode
        // made already.
        std::system(qPrintable(
            QString::asprintf("xrandr --newmode %s 100 %d %d %d %d %d %d %d %d >/dev/null 2>&1",
                              qPrintable(mode), m.width(), m.width() + 8, m.width() + 16, m.width() + 24,
                              m.height(), m.height() + 1, m.height() + 2, m.height() + 3)));
        run(QString("xrandr --addmode DUMMY%1 %2").arg(i).arg(mode));
        layout += QString(" --output DUMMY%1 --mode %2 --pos %3x%4").arg(i).arg(mode).arg(m.x()).arg(m.y());
    }
    run(layout);
    // A full query makes the server probe its outputs again; until then clients that read the cached
    // resources, as Qt does, still see a single monitor.
    run("xrandr >/dev/null");
}

} // namespace zq::test
