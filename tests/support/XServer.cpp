#include "support/XServer.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace zq::test {

pid_t startXServer(const char* program, const QByteArrayList& arguments)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return -1;
    QByteArrayList all = arguments;
    all << "-displayfd" << QByteArray::number(fds[1]);
    // Built before the fork: the child only execs.
    std::vector<char*> argv{const_cast<char*>(program)};
    for (QByteArray& argument : all)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid == 0) {
        // A test that crashes must not leave its server behind.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        const int null = ::open("/dev/null", O_RDWR);
        for (const int target : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
            ::dup2(null, target);
        ::execvp(program, argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    if (pid < 0) {
        ::close(fds[0]);
        return -1;
    }

    // The server writes the display number once it accepts clients; end of file means it gave up.
    QByteArray display(":");
    char c = 0;
    ssize_t n;
    while ((n = ::read(fds[0], &c, 1)) != 0 && (n > 0 || errno == EINTR) && c != '\n')
        if (n > 0)
            display.append(c);
    ::close(fds[0]);
    if (display.size() < 2) {
        stopXServer(pid);
        return -1;
    }
    qputenv("DISPLAY", display);
    return pid;
}

void stopXServer(pid_t pid)
{
    if (pid > 0 && ::kill(pid, SIGTERM) == 0)
        ::waitpid(pid, nullptr, 0);
}

} // namespace zq::test
