// Prints the state folder as a fresh process of the application finds it.
#include "core/paths.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Zorvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Zorvane Qelting Tool"));
    QTextStream(stdout) << utils::statePath() << '\n';
    return 0;
}
