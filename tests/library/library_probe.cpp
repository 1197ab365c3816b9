// A run of the library that deletes one Qelt offline and is killed right after, before any save, as a
// crash would end it. Arguments: user, token, Qelt id. Its tests look at what the next start finds.
#include "api/APIHandler.h"
#include "library/QeltsController.h"
#include "support/TestEnvironment.h"

#include <QGuiApplication>
#include <QNetworkAccessManager>

#include <csignal>

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    zq::test::prepareApplication();
    const QStringList args = app.arguments();
    if (args.size() != 4)
        return 2;
    APIHandler::overrideNetworkAvailabilityForTesting(false);
    QNetworkAccessManager manager;
    QeltsController controller(nullptr, &manager);
    controller.setUser(args[1], args[2]);
    if (!controller.qeltById(args[3]))
        return 3;
    controller.removeQelt(args[3]);
    std::raise(SIGKILL);
    return 4;
}
