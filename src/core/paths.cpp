#include "core/paths.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTextStream>

#include <cstdlib>

namespace utils {

namespace {

QString dataLocation()
{
    return QStandardPaths::standardLocations(QStandardPaths::AppLocalDataLocation).value(0);
}

[[noreturn]] void endForLackOfState(const char* message)
{
    qCritical() << message;
    // No caller can go on without its state folder; end as an error, not with a core dump.
    std::exit(1);
}

} // namespace

QString statePath()
{
    const QString location = dataLocation();
    if (location.isEmpty())
        endForLackOfState("Path for state not found");
    const QString path = location + QStringLiteral("/state");
    QDir dir(path);
    if (!dir.exists() && !dir.mkpath(QStringLiteral(".")))
        endForLackOfState("Failed to create path for state");
    return path;
}

QString logsPath()
{
    const QString location = dataLocation();
    return location.isEmpty() ? QString() : location + QStringLiteral("/logs");
}

QString readTextFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    QTextStream stream(&file);
    return stream.readAll();
}

QString appImagePath()
{
    return QProcessEnvironment::systemEnvironment().value(QStringLiteral("APPIMAGE"));
}

} // namespace utils
