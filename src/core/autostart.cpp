#include "core/autostart.h"

#include "core/identity.h"
#include "core/paths.h"
#include "core/settings.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

namespace utils {

namespace {

QString quotedAppImage(const QString& appImage)
{
    return QLatin1Char('\'') + appImage + QLatin1Char('\'');
}

bool isEntryFor(const QString& path, const QString& appImage)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return desktopEntryExec(file.readAll()) == quotedAppImage(appImage);
}

// A line break would add lines to the entry, and a single quote would end its quoting early.
bool fitsInEntry(const QString& appImage)
{
    return !appImage.contains(QLatin1Char('\n')) && !appImage.contains(QLatin1Char('\r')) &&
           !appImage.contains(QLatin1Char('\''));
}

bool writeEntry(const QString& path, const QString& appImage)
{
    const QString content = QStringLiteral("[Desktop Entry]\n"
                                           "Name=Zorvane Qelting Tool\n"
                                           "Exec=") +
                            quotedAppImage(appImage) + QStringLiteral("\nType=Application\nVersion=") +
                            kAppVersion;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        qWarning() << "Failed to open autostart file";
        return false;
    }
    const QByteArray bytes = content.toUtf8();
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        qWarning() << "Failed to write autostart file";
        return false;
    }
    return true;
}

} // namespace

QString desktopEntryExec(const QByteArray& content)
{
    bool inGroup = false;
    for (QByteArray line : content.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.startsWith('[')) {
            inGroup = line == "[Desktop Entry]";
            continue;
        }
        if (inGroup && line.startsWith("Exec="))
            return QString::fromUtf8(line.mid(5));
    }
    return QString();
}

QString autostartFilePath()
{
    const QString folder =
        QStandardPaths::writableLocation(QStandardPaths::HomeLocation) + QStringLiteral("/.config/autostart");
    QDir dir(folder);
    if (!dir.exists() && !dir.mkpath(QStringLiteral("."))) {
        qWarning() << "Failed to create autostart folder: " << folder;
        return QString();
    }
    return folder + QStringLiteral("/zorvane-qelting-tool.desktop");
}

bool isAutostartEnabled()
{
    const QString path = autostartFilePath();
    return !path.isEmpty() && QFile::exists(path) && isEntryFor(path, appImagePath());
}

void setAutostart(bool enable)
{
    const QString path = autostartFilePath();
    if (path.isEmpty()) {
        qWarning() << "Autostart file name is empty";
        return;
    }
    const QString appImage = appImagePath();
    if (appImage.isEmpty()) {
        qWarning() << "APPIMAGE path is empty";
        return;
    }
    if (!fitsInEntry(appImage)) {
        qWarning() << "APPIMAGE path cannot be written into an autostart entry:" << appImage;
        return;
    }

    const bool enabled = QFile::exists(path) && isEntryFor(path, appImage);
    bool done = true;
    if (!enable && enabled) {
        done = QFile::remove(path);
        if (!done)
            qWarning() << "Failed to remove autostart file";
    } else if (enable && !enabled) {
        done = writeEntry(path, appImage);
    }
    // Only an entry that is as requested counts as set up, so a failure is tried again at the next start.
    if (done)
        kKeyAutostartChanged.set(true);
}

bool autostartChanged()
{
    return kKeyAutostartChanged.contains();
}

} // namespace utils
