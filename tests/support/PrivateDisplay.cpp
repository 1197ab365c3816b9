#include "support/PrivateDisplay.h"

#include "support/XServer.h"

#include <QProcess>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace zq::test {

namespace {

struct Server
{
    pid_t pid = -1;
    ~Server() { stopXServer(pid); }
};

struct Manager
{
    pid_t pid = -1;
    ~Manager()
    {
        if (pid > 0 && ::kill(pid, SIGTERM) == 0)
            ::waitpid(pid, nullptr, 0);
    }
};

[[noreturn]] void failManager(const char* why)
{
    std::fprintf(stderr, "Cannot start a window manager: %s\n", why);
    std::exit(1);
}

} // namespace

void startWindowManager()
{
    static Manager manager;
    manager.pid = ::fork();
    if (manager.pid < 0)
        failManager("fork failed");
    if (manager.pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        const int null = ::open("/dev/null", O_RDWR);
        for (const int target : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
            ::dup2(null, target);
        ::execlp("openbox", "openbox", "--sm-disable", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Openbox names its check window on the root window once it manages windows.
    for (int waited = 0; waited < 60000; waited += 20) {
        if (std::system("xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'") == 0)
            return;
        if (::waitpid(manager.pid, nullptr, WNOHANG) == manager.pid) {
            manager.pid = -1;
            failManager("openbox ended; is it installed?");
        }
        const timespec pause{0, 20 * 1000 * 1000};
        ::nanosleep(&pause, nullptr);
    }
    failManager("openbox did not take the display within a minute");
}

void startPrivateDisplay(const QSize& size)
{
    static Server server;
    const QByteArray screen =
        QByteArray::number(size.width()) + 'x' + QByteArray::number(size.height()) + "x24";
    server.pid = startXServer("Xvfb", {"-screen", "0", screen, "-nolisten", "tcp", "-noreset"});
    if (server.pid < 0) {
        std::fprintf(stderr, "Cannot start a private X server: Xvfb did not start\n");
        std::exit(1);
    }
}

TrayHost::TrayHost() : m_process(new QProcess)
{
    m_process->setStandardErrorFile(QProcess::nullDevice());
    m_process->setStandardOutputFile(QProcess::nullDevice());
    m_process->start(QStringLiteral("trayer"),
                     {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                      QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("request"),
                      QStringLiteral("--height"), QStringLiteral("24")});
    m_process->waitForStarted();
}

TrayHost::~TrayHost()
{
    m_process->terminate();
    if (!m_process->waitForFinished(5000)) {
        m_process->kill();
        m_process->waitForFinished();
    }
    delete m_process;
}

bool TrayHost::isRunning() const
{
    return m_process->state() == QProcess::Running;
}

} // namespace zq::test
