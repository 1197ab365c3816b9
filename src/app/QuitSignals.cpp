#include "app/QuitSignals.h"

#include <QDebug>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The handler's end of the pipe; a signal handler can reach nothing else.
volatile sig_atomic_t s_writeFd = -1;

void onSignal(int number)
{
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    // A full pipe already holds a request to quit.
    [[maybe_unused]] const ssize_t written = ::write(s_writeFd, &byte, 1);
    errno = savedErrno;
}

void setAction(void (*handler)(int), int flags)
{
    struct sigaction action = {};
    action.sa_handler = handler;
    action.sa_flags = flags;
    sigemptyset(&action.sa_mask);
    for (int number : kSignals)
        ::sigaction(number, &action, nullptr);
}

} // namespace

QuitSignals::QuitSignals(QObject* parent) : QObject(parent)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        qWarning() << "[QuitSignals] No pipe for the signals, they end the program at once:"
                   << std::strerror(errno);
        return;
    }
    m_readFd = fds[0];
    s_writeFd = fds[1];
    m_notifier = new QSocketNotifier(m_readFd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &QuitSignals::onReadable);
    setAction(onSignal, SA_RESTART | SA_RESETHAND);
}

QuitSignals::~QuitSignals()
{
    if (!m_notifier)
        return;
    setAction(SIG_DFL, 0);
    ::close(s_writeFd);
    s_writeFd = -1;
    ::close(m_readFd);
}

void QuitSignals::onReadable()
{
    unsigned char byte = 0;
    while (::read(m_readFd, &byte, 1) == 1)
        emit received(byte);
}
