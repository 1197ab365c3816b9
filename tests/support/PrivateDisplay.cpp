#include "support/PrivateDisplay.h"

#include <QProcess>

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

struct Server
{
    pid_t pid = -1;
    ~Server()
    {
        if (pid > 0 && ::kill(pid, SIGTERM) == 0)
            ::waitpid(pid, nullptr, 0);
    }
};

} // namespace

void startPrivateDisplay(const QSize& size)
{
    static Server server;
    int fds[2];
    if (::pipe(fds) != 0) {
        std::fprintf(stderr, "Cannot start a private X server: no pipe\n");
        std::exit(1);
    }
    const QByteArray fd = QByteArray::number(fds[1]);
    const QByteArray screen =
        QByteArray::number(size.width()) + 'x' + QByteArray::number(size.height()) + "x24";
    server.pid = ::fork();
    if (server.pid == 0) {
        // A test that crashes must not leave its server behind.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        const int null = ::open("/dev/null", O_RDWR);
        for (const int target : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
            ::dup2(null, target);
        ::execlp("Xvfb", "Xvfb", "-displayfd", fd.constData(), "-screen", "0", screen.constData(),
                 "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);

    // Xvfb writes the display number once it accepts clients; end of file means it gave up.
    QByteArray display(":");
    char c = 0;
    ssize_t n;
    while ((n = ::read(fds[0], &c, 1)) != 0 && (n > 0 || errno == EINTR) && c != '\n')
        if (n > 0)
            display.append(c);
    ::close(fds[0]);
    if (display.size() < 2) {
        std::fprintf(stderr, "Cannot start a private X server: Xvfb did not start\n");
        std::exit(1);
    }
    qputenv("DISPLAY", display);
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
