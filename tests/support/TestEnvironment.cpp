#include "support/TestEnvironment.h"

#include "core/metatypes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QTemporaryDir>

#include <memory>

namespace zq::test {

namespace {

// Removed when the process ends.
std::unique_ptr<QTemporaryDir> s_home;

} // namespace

void prepareEnvironment()
{
    if (s_home)
        return;
    s_home = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/zq-test-XXXXXX"));
    const std::pair<const char*, const char*> folders[] = {{"HOME", ""},
                                                           {"XDG_CONFIG_HOME", "/.config"},
                                                           {"XDG_DATA_HOME", "/.local/share"},
                                                           {"XDG_CACHE_HOME", "/.cache"},
                                                           {"XDG_STATE_HOME", "/.local/state"},
                                                           {"XDG_RUNTIME_DIR", "/runtime"}};
    for (const auto& [variable, folder] : folders) {
        QDir().mkpath(s_home->path() + folder);
        qputenv(variable, QFile::encodeName(s_home->path() + folder));
    }
    QFile::setPermissions(s_home->path() + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

void prepareApplication()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Zorvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Zorvane Qelting Tool"));
    utils::registerMetaTypes();
}

QString homePath()
{
    return s_home ? s_home->path() : QString();
}

void clearSettings()
{
    QSettings settings;
    settings.clear();
    settings.sync();
}

QString settingsFilePath()
{
    return QSettings().fileName();
}

bool writeRawSettings(const QByteArray& content)
{
    const QString path = settingsFilePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(content);
    return file.commit();
}

} // namespace zq::test
