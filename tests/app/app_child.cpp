// The real program as the lifecycle tests run it: its service is the test's fake, it says on standard
// output when it is ready, when a later start knocked and how many Qelts its library holds, and it ends with
// the code that a line "exit <code>" on standard input names, through the application's restart slots for 212
// and 213; "logout" picks the tray's log-out entry, "sync" lists the account's changes and "signin <e-mail>
// <token>" signs in as the sign-in window does. Each start leaves a note (its process id and arguments) in
// the folder ZQ_CHILD_MARKERS; a start that finds a note there already, the copy a restart made, ends as soon
// as it is ready.
#include "api/APIHandler.h"
#include "app/Application.h"
#include "app/SingleInstance.h"
#include "app/startup.h"
#include "core/identity.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>

#include <unistd.h>

namespace {

void say(const char* line)
{
    std::printf("%s\n", line);
    std::fflush(stdout);
}

int leaveNote(int argc, char** argv)
{
    const QDir folder(qEnvironmentVariable("ZQ_CHILD_MARKERS"));
    const int run = folder.entryList(QDir::Files).size();
    QJsonArray arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    QFile note(folder.filePath(QStringLiteral("run%1").arg(run)));
    if (note.open(QIODevice::WriteOnly))
        note.write(QJsonDocument(QJsonObject{{"pid", qint64(getpid())}, {"arguments", arguments}}).toJson());
    return run;
}

} // namespace

int main(int argc, char* argv[])
{
    const int run = leaveNote(argc, argv);
    utils::overrideBaseUrlsForTesting(qEnvironmentVariable("ZQ_CHILD_SERVICE"));
    APIHandler::overrideNetworkAvailabilityForTesting(true);
    // Diagnostic lines leave by the batch's size, a sign-out or the end, never while a test waits.
    APIHandler::setLogFlushIntervalForTesting(24 * 3600 * 1000);
    // A second start, a restart, a damaged settings file: the main window plays no part.
    Application::setMainWindowForTesting(false);
    return runProgram(argc, argv, [run](Application& app) {
        QObject::connect(&app.singleInstance(), &SingleInstance::knocked, [] { say("knocked"); });
        QObject::connect(&app.library(), &QeltsController::qeltsCountChanged, [&app] {
            say(QByteArray("qelts " + QByteArray::number(app.library().count())).constData());
        });
        QTimer::singleShot(0, &app, [&app, run] {
            say("ready");
            if (run > 0)
                app.exit(0);
        });
        auto* input = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, &app);
        QObject::connect(input, &QSocketNotifier::activated, &app, [&app, input] {
            char line[64] = {};
            const ssize_t read = ::read(STDIN_FILENO, line, sizeof line - 1);
            if (read <= 0) {
                input->setEnabled(false); // the test is gone
                app.exit(0);
                return;
            }
            if (QByteArray(line).startsWith("logout")) {
                app.tray().logoutAction()->trigger();
                return;
            }
            if (QByteArray(line).startsWith("sync")) {
                app.library().startSync();
                return;
            }
            char email[64] = {};
            char token[64] = {};
            if (std::sscanf(line, "signin %63s %63s", email, token) == 2) {
                app.OnLoggedIn(QString::fromLatin1(email), QString::fromLatin1(token));
                return;
            }
            int code = 0;
            if (std::sscanf(line, "exit %d", &code) != 1)
                return;
            if (code == 212)
                app.Restart();
            else if (code == 213)
                app.SilentRestart();
            else
                app.exit(code);
        });
    });
}
