#include "core/settings.h"

#include <QDebug>

#include <exception>

namespace {

constexpr int kCurrentSettingsVersion = 1;

} // namespace

namespace utils {

void migrateSettings()
{
    migrateSettings(&migrateSettingsFromVersion);
}

void migrateSettings(const std::function<bool(int)>& step)
{
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
