#include "E2eHarness.h"

#include <QFile>
#include <QJsonDocument>
#include <QProcess>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace zq::test::e2e {

namespace {

QString s_skipReason;

QByteArray readFile(const char* variable)
{
    QFile file(QString::fromLocal8Bit(qgetenv(variable)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Lines the writer has finished; a last line without its end is still being written.
QList<QByteArray> completeLines(const QByteArray& text)
{
    QList<QByteArray> lines = text.split('\n');
    lines.removeLast();
    return lines;
}

std::optional<QString> refusal()
{
    if (::geteuid() != 0)
        return QStringLiteral("the end-to-end harness needs root for its network and mount namespaces");
    QProcess probe;
    probe.setProcessChannelMode(QProcess::MergedChannels);
    probe.start(QStringLiteral("unshare"), {"--net", "--mount", "--pid", "--fork", "--mount-proc", "true"});
    // It ends by itself, however loaded the machine: a bound would only turn a slow start into a skip.
    if (!probe.waitForFinished(-1) || probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0)
        return "this machine refuses private namespaces: " +
               QString::fromLocal8Bit(probe.readAll()).trimmed();
    return std::nullopt;
}

} // namespace

std::optional<int> runInsideHarness(int argc, char* argv[], const QStringList& fakeArgs)
{
    if (qEnvironmentVariableIsSet("ZQ_E2E_DIR"))
        return std::nullopt;
    if (const auto why = refusal()) {
        s_skipReason = *why;
        return std::nullopt;
    }
    std::vector<QByteArray> strings{ZQ_E2E_RUNNER, "--fake", ZQ_FAKE_SERVICE_TLS};
    for (const QString& arg : fakeArgs) {
        strings.push_back("--fake-arg");
        strings.push_back(arg.toLocal8Bit());
    }
    strings.push_back("--");
    for (int i = 0; i < argc; ++i)
        strings.push_back(argv[i]);
    std::vector<char*> args;
    for (QByteArray& string : strings)
        args.push_back(string.data());
    args.push_back(nullptr);

    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        // Killed with this process, the harness takes its whole namespace along.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        ::execv(args[0], args.data());
        std::perror(args[0]);
        ::_exit(127);
    }
    int status = 0;
    pid_t waited = -1;
    while (child > 0 && (waited = ::waitpid(child, &status, 0)) < 0 && errno == EINTR) {
    }
    if (waited != child || !WIFEXITED(status)) {
        std::fprintf(stderr, "The end-to-end harness ended abnormally\n");
        return 1;
    }
    return WEXITSTATUS(status);
}

QString skipReason()
{
    return s_skipReason;
}

QVector<QJsonObject> recordedRequests()
{
    QVector<QJsonObject> requests;
    for (const QByteArray& line : completeLines(readFile("ZQ_E2E_REQUESTS")))
        requests.append(QJsonDocument::fromJson(line).object());
    return requests;
}

QVector<QJsonObject> recordedRequests(const QString& method, const QString& path)
{
    QVector<QJsonObject> matching;
    for (const QJsonObject& request : recordedRequests()) {
        if (request.value("method").toString() == method && request.value("path").toString() == path)
            matching.append(request);
    }
    return matching;
}

QStringList openedUrls()
{
    QStringList urls;
    for (const QByteArray& line : completeLines(readFile("ZQ_E2E_OPENED_URLS")))
        urls.append(QString::fromUtf8(line));
    return urls;
}

} // namespace zq::test::e2e
