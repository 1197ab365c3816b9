#include "core/paths.h"

#include "core/files.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QProcessEnvironment>
#include <QSet>
#include <QStandardPaths>
#include <QTextStream>

#include <cstdlib>

namespace utils {

namespace {

QString dataLocation()
{
    return QStandardPaths::standardLocations(QStandardPaths::AppLocalDataLocation).value(0);
}

// Each fault is told once: the library asks for its folders at every download and every save.
void logCriticalOnce(const QString& line)
{
    static QMutex mutex;
    static QSet<QString> told;
    {
        QMutexLocker lock(&mutex);
        if (told.contains(line))
            return;
        told.insert(line);
    }
    qCritical().noquote() << line;
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

QString usableFolder(const QString& path, const char* failure)
{
    const QFileInfo info(path);
    if ((info.isDir() || (!info.exists() && QDir().mkpath(path))) && QFileInfo(path).isWritable())
        return path;
    logCriticalOnce(QStringLiteral("%1: %2").arg(QLatin1String(failure), path));
    return QString();
}

QString usableDataPath()
{
    const QString location = dataLocation();
    if (location.isEmpty()) {
        logCriticalOnce(QStringLiteral("Path for data not found"));
        return QString();
    }
    // Cleaned here, where every stored path begins: "share/" and "share" must name the same files.
    return usableFolder(QDir::cleanPath(location), "Folder for data cannot be used");
}

QString usableStatePath()
{
    const QString data = usableDataPath();
    return data.isEmpty() ? QString()
                          : usableFolder(data + QStringLiteral("/state"), "Failed to create path for state");
}

QString readableFolder(const QString& path)
{
    const QFileInfo info(path);
    return info.isDir() && info.isReadable() && info.isExecutable() ? path : QString();
}

QString readableDataPath()
{
    const QString location = dataLocation();
    return location.isEmpty() ? QString() : readableFolder(QDir::cleanPath(location));
}

QString readableStatePath()
{
    const QString data = readableDataPath();
    return data.isEmpty() ? QString() : readableFolder(data + QStringLiteral("/state"));
}

QString logsPath()
{
    const QString location = dataLocation();
    return location.isEmpty() ? QString() : location + QStringLiteral("/logs");
}

QString setAside(const QString& path)
{
    const QString base = path + QStringLiteral(".damaged-") +
                         QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddHHmmss"));
    // Never over another kept file: a taken name moves on to the next number.
    for (int n = 1; n <= 100; ++n) {
        const QString aside = n == 1 ? base : base + QStringLiteral("-%1").arg(n);
        switch (renameNoReplace(path, aside)) {
        case RenameOutcome::Renamed:
            return aside;
        case RenameOutcome::Taken:
            continue;
        case RenameOutcome::Failed:
            return QString();
        }
    }
    return QString();
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
