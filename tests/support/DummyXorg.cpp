#include "support/DummyXorg.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

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
    ~Server()
    {
        if (pid > 0 && ::kill(pid, SIGTERM) == 0)
            ::waitpid(pid, nullptr, 0);
    }
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
    int fds[2];
    if (!QDir(server.folder.path()).mkpath("conf.d") || !config.open(QIODevice::WriteOnly) ||
        config.write(kConfig) < 0 || !config.flush() || ::pipe(fds) != 0)
        fail("cannot prepare " + server.folder.path());
    const QByteArray folder = QFile::encodeName(server.folder.path()), fd = QByteArray::number(fds[1]);
    server.pid = ::fork();
    if (server.pid == 0) {
        // A test that crashes must not leave its server behind.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        const int null = ::open("/dev/null", O_RDWR);
        for (const int target : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
            ::dup2(null, target);
        ::execlp("Xorg", "Xorg", "-noreset", "-nolisten", "tcp", "-displayfd", fd.constData(), "-config",
                 (folder + "/xorg.conf").constData(), "-configdir", (folder + "/conf.d").constData(),
                 "-logfile", (folder + "/xorg.log").constData(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);

    // Xorg writes the display number once it accepts clients; end of file means it gave up.
    QByteArray display(":");
    char c = 0;
    ssize_t n;
    while ((n = ::read(fds[0], &c, 1)) != 0 && (n > 0 || errno == EINTR) && c != '\n')
        if (n > 0)
            display.append(c);
    ::close(fds[0]);
    if (display.size() < 2)
        fail("Xorg did not start; see " + QString::fromLocal8Bit(folder) + "/xorg.log");
    qputenv("DISPLAY", display);

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
