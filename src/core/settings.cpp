#include "core/settings.h"

#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QSettings>

#include <exception>

namespace {

constexpr int kCurrentSettingsVersion = 1;

// A value Qt cannot load (a list claiming thousands of millions of entries, say) throws from every read
// that parses its section and from every write, which parses them all. Such a file is moved aside, so
// the application starts with defaults and the user's old file is still there to recover from.
void setAsideUnreadableSettings()
{
    QString path;
    {
        QSettings settings;
        path = settings.fileName();
        try {
            // Sections are parsed when first needed; listing every key parses them all.
            (void)settings.allKeys();
            return;
        } catch (const std::exception&) {
        }
    }
    const QString aside = path + QStringLiteral(".damaged-") +
                          QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddHHmmss"));
    if (QFile::rename(path, aside))
        qWarning() << "[settings] Unreadable settings file moved to" << aside;
    else
        qWarning() << "[settings] Unreadable settings file could not be moved aside:" << path;
}

} // namespace

namespace utils {

void migrateSettings()
{
    migrateSettings(&migrateSettingsFromVersion);
}

void migrateSettings(const std::function<bool(int)>& step)
{
    setAsideUnreadableSettings();
    const int version = kKeySettingsVersion.get();
    if (version >= kCurrentSettingsVersion)
        return;
    bool migrated = false;
    try {
        migrated = step(version);
    } catch (const std::exception&) {
        qWarning("Settings migration failed");
        return;
    }
    // A step that gives up is tried again at the next start.
    if (migrated)
        kKeySettingsVersion.set(kCurrentSettingsVersion);
}

bool migrateSettingsFromVersion(int)
{
    // Nothing was ever renamed or converted on this platform.
    return true;
}

} // namespace utils
