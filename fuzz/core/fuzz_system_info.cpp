// System detection from arbitrary release files, version file and gnome-shell output.
#include "core/SystemInfo.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

void write(const QString& path, const QByteArray& content)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(content);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir root;
    static const bool made =
        QDir().mkpath(root.filePath("etc")) && QDir().mkpath(root.filePath("usr/share/gnome"));
    if (!made)
        std::abort();

    // Three inputs separated by NUL: lsb-release, gnome-version.xml, gnome-shell output.
    const QList<QByteArray> parts = QByteArray(reinterpret_cast<const char*>(data), int(size)).split('\0');
    const QString shellOutput = QString::fromUtf8(parts.value(2));
    const int version = SystemInfo::versionFromShellOutput(shellOutput);
    if (version < -1 && !shellOutput.contains(QLatin1Char('-')))
        std::abort();
    SystemInfo::versionFromVersionFile(QString::fromUtf8(parts.value(1)));

    write(root.filePath("etc/lsb-release"), parts.value(0));
    write(root.filePath("usr/share/gnome/gnome-version.xml"), parts.value(1));
    SystemInfo::Sources sources;
    sources.root = root.path();
    sources.environment = QProcessEnvironment();
    sources.environment.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("KDE"));
    const SystemInfo info = SystemInfo::detect(sources);
    if (info.distro() != SystemInfo::DistroOther && info.distro() != SystemInfo::DistroElementary)
        std::abort();
    return 0;
}
