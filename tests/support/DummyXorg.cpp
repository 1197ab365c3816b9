#include "support/DummyXorg.h"

#include <QByteArray>
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

int run(const QString& command)
{
    const int status = std::system(command.toLocal8Bit().constData());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

DummyXorg::~DummyXorg()
{
    if (pid > 0) {
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
    }
    if (!folder.isEmpty())
        QDir(folder).removeRecursively();
}

bool DummyXorg::start(const QList<QRect>& monitors, QString* error)
{
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/zq-xorg-XXXXXX"));
    dir.setAutoRemove(false);
    folder = dir.path();
    QDir(folder).mkpath(QStringLiteral("conf.d"));
    QFile config(folder + QStringLiteral("/xorg.conf"));
    if (!config.open(QIODevice::WriteOnly) || config.write(kConfig) < 0) {
        *error = QStringLiteral("cannot write %1").arg(config.fileName());
        return false;
    }
    config.close();

    int fds[2];
    if (::pipe(fds) != 0) {
        *error = QStringLiteral("pipe failed");
        return false;
    }
    const QByteArray configPath = QFile::encodeName(config.fileName());
    const QByteArray configDir = QFile::encodeName(folder + QStringLiteral("/conf.d"));
    const QByteArray logPath = QFile::encodeName(folder + QStringLiteral("/xorg.log"));
    const QByteArray fd = QByteArray::number(fds[1]);
    pid = ::fork();
    if (pid == 0) {
        // A test that crashes must not leave its server behind.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        ::close(fds[0]);
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        ::execlp("Xorg", "Xorg", "-noreset", "-nolisten", "tcp", "-displayfd", fd.constData(), "-config",
                 configPath.constData(), "-configdir", configDir.constData(), "-logfile", logPath.constData(),
                 static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    if (pid < 0) {
        ::close(fds[0]);
        *error = QStringLiteral("fork failed");
        return false;
    }

    // Xorg writes the display number once it accepts clients; end of file means it gave up.
    QByteArray number;
    char c;
    ssize_t n;
    while ((n = ::read(fds[0], &c, 1)) != 0) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 || c == '\n')
            break;
        number.append(c);
    }
    ::close(fds[0]);
    if (number.isEmpty()) {
        ::waitpid(pid, nullptr, 0);
        pid = -1;
        *error = QStringLiteral("Xorg did not start; see %1").arg(QString::fromLocal8Bit(logPath));
        return false;
    }
    displayName = QStringLiteral(":") + QString::fromLatin1(number);
    return configure(monitors, error);
}

bool DummyXorg::configure(const QList<QRect>& monitors, QString* error)
{
    QString command = QStringLiteral("DISPLAY=%1 xrandr").arg(displayName);
    for (int i = 0; i < monitors.size(); ++i) {
        const QRect& m = monitors.at(i);
        const QString mode = QStringLiteral("zq%1x%2").arg(m.width()).arg(m.height());
        const QString output = QStringLiteral("DUMMY%1").arg(i);
        // Modes the driver does not list are made from a generic timing.
        run(QStringLiteral("DISPLAY=%1 xrandr --newmode %2 100 %3 %4 %5 %6 %7 %8 %9 %10 >/dev/null 2>&1")
                .arg(displayName, mode)
                .arg(m.width())
                .arg(m.width() + 8)
                .arg(m.width() + 16)
                .arg(m.width() + 24)
                .arg(m.height())
                .arg(m.height() + 1)
                .arg(m.height() + 2)
                .arg(m.height() + 3));
        run(QStringLiteral("DISPLAY=%1 xrandr --addmode %2 %3 >/dev/null 2>&1")
                .arg(displayName, output, mode));
        command +=
            QStringLiteral(" --output %1 --mode %2 --pos %3x%4").arg(output, mode).arg(m.x()).arg(m.y());
    }
    // A full query makes the server probe its outputs again; until then clients that read the cached
    // resources, as Qt does, still see a single monitor.
    if (run(command) != 0 || run(QStringLiteral("DISPLAY=%1 xrandr >/dev/null").arg(displayName)) != 0) {
        *error = QStringLiteral("xrandr could not lay out the monitors: %1").arg(command);
        return false;
    }
    return true;
}

DummyXorg& startDummyDesktop(const QList<QRect>& monitors)
{
    static DummyXorg server;
    QString error;
    if (!server.start(monitors, &error)) {
        std::fprintf(stderr, "Cannot start the dummy Xorg desktop: %s\n", qPrintable(error));
        std::exit(1);
    }
    qputenv("DISPLAY", server.display().toLocal8Bit());
    return server;
}

} // namespace zq::test
