#include "support/WestonDesktop.h"

#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace zq::test {

namespace {

constexpr char kSocket[] = "wayland-zq";

struct Compositor
{
    QTemporaryDir folder{QDir::tempPath() + "/zq-weston-XXXXXX"};
    pid_t pid = -1;
    ~Compositor()
    {
        if (pid > 0 && ::kill(pid, SIGTERM) == 0)
            ::waitpid(pid, nullptr, 0);
    }
};

[[noreturn]] void fail(const QString& why)
{
    std::fprintf(stderr, "Cannot start the weston desktop: %s\n", qPrintable(why));
    std::exit(1);
}

bool writeFile(const QString& path, const QByteArray& content, QFileDevice::Permissions permissions)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size() && file.flush() &&
           file.setPermissions(permissions);
}

} // namespace

void startWestonDesktop(const QList<QSize>& outputs)
{
    static Compositor compositor;
    // The socket goes to the runtime folder, which must be the one the test keeps.
    prepareEnvironment();
    const QString folder = compositor.folder.path();
    const QString fifo = folder + "/ready";
    const QString script = folder + "/ready.sh";
    const QString log = folder + "/weston.log";
    // Weston starts this program once every output, the socket and the shell are there.
    const QByteArray readyScript = "#!/bin/sh\necho ready > '" + QFile::encodeName(fifo) + "'\n";
    QByteArray config = "[core]\nidle-time=0\n[shell]\npanel-position=none\n[input-method]\npath=\n"
                        "[autolaunch]\npath=" +
                        QFile::encodeName(script) + "\n";
    // The X11 back-end names its outputs screen0, screen1, ...
    for (int i = 0; i < outputs.size(); ++i)
        config += QByteArray("[output]\nname=screen") + QByteArray::number(i) +
                  "\nmode=" + QByteArray::number(outputs[i].width()) + 'x' +
                  QByteArray::number(outputs[i].height()) + '\n';
    if (::mkfifo(QFile::encodeName(fifo).constData(), 0600) != 0 ||
        !writeFile(script, readyScript, QFileDevice::ReadOwner | QFileDevice::ExeOwner) ||
        !writeFile(folder + "/weston.ini", config, QFileDevice::ReadOwner))
        fail("cannot prepare " + folder);
    // Opened before weston runs, without waiting for a writer: a weston that dies never blocks the test.
    const int ready = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
    if (ready < 0)
        fail("cannot open " + fifo);

    QByteArrayList arguments{"weston",
                             "--backend=x11-backend.so",
                             "--use-pixman",
                             "--output-count=" + QByteArray::number(outputs.size()),
                             QByteArray("--socket=") + kSocket,
                             "--config=" + QFile::encodeName(folder + "/weston.ini"),
                             "--log=" + QFile::encodeName(log)};
    std::vector<char*> argv;
    for (QByteArray& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    compositor.pid = ::fork();
    if (compositor.pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        const int null = ::open("/dev/null", O_RDWR);
        for (const int target : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
            ::dup2(null, target);
        ::execvp("weston", argv.data());
        ::_exit(127);
    }
    if (compositor.pid < 0)
        fail("cannot start weston");

    // The script's line, or weston's end. A writer that has not opened the pipe yet reads as no data.
    bool started = false;
    while (!started) {
        pollfd wait{ready, POLLIN, 0};
        const int polled = ::poll(&wait, 1, 100);
        char line[16];
        if (polled > 0 && (wait.revents & POLLIN) && ::read(ready, line, sizeof line) > 0)
            started = true;
        else if (::waitpid(compositor.pid, nullptr, WNOHANG) != 0)
            fail("weston ended; see " + log);
        else if (polled < 0 && errno != EINTR)
            fail("cannot wait for weston");
    }
    ::close(ready);
    qputenv("WAYLAND_DISPLAY", kSocket);
    qputenv("QT_QPA_PLATFORM", "wayland");
}

} // namespace zq::test
