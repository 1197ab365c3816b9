#include "support/PrivateDisplay.h"

#include "support/XServer.h"

#include <QProcess>

#include <cstdio>
#include <cstdlib>

namespace zq::test {

namespace {

struct Server
{
    pid_t pid = -1;
    ~Server() { stopXServer(pid); }
};

} // namespace

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
