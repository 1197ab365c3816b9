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

std::unique_ptr<QTemporaryDir>& temporaryHome()
{
    static std::unique_ptr<QTemporaryDir> dir;
    return dir;
}

void setFolder(const char* variable, const QString& path)
{
    QDir().mkpath(path);
    qputenv(variable, QFile::encodeName(path));
}

} // namespace

void prepareEnvironment()
{
    auto& dir = temporaryHome();
    if (dir)
        return;
    dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/zq-test-XXXXXX"));
    const QString home = dir->path();
    setFolder("HOME", home);
    setFolder("XDG_CONFIG_HOME", home + QStringLiteral("/.config"));
    setFolder("XDG_DATA_HOME", home + QStringLiteral("/.local/share"));
    setFolder("XDG_CACHE_HOME", home + QStringLiteral("/.cache"));
    setFolder("XDG_STATE_HOME", home + QStringLiteral("/.local/state"));
    setFolder("XDG_RUNTIME_DIR", home + QStringLiteral("/runtime"));
    QFile::setPermissions(home + QStringLiteral("/runtime"),
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
    return temporaryHome() ? temporaryHome()->path() : QString();
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
