// What the system hands over at start: release files, the GNOME version file and gnome-shell output, the
// autostart entry read back from disk, and the names found in the logs folder with messages of any shape.
// The first byte picks the reader.
#include "core/Logger.h"
#include "core/SystemInfo.h"
#include "core/autostart.h"

#include <QDir>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir root;
    if (!root.isValid() || size == 0)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), int(size - 1));
    const QString text = QString::fromUtf8(bytes);
    if (data[0] % 3 == 0) {
        // Three inputs separated by NUL: lsb-release, gnome-version.xml, gnome-shell output.
        const QList<QByteArray> parts = bytes.split('\0');
        const QString shellOutput = QString::fromUtf8(parts.value(2));
        if (SystemInfo::versionFromShellOutput(shellOutput) < -1 && !shellOutput.contains(QLatin1Char('-')))
            std::abort();
        SystemInfo::versionFromVersionFile(QString::fromUtf8(parts.value(1)));
        // A root of its own for each input: Qt keeps a settings file it has read, and a rewrite that keeps
        // its size within the file system's time resolution would read as the last input's.
        static int run = 0;
        const QString system = root.filePath(QString::number(run++));
        QDir().mkpath(system + QStringLiteral("/etc"));
        const auto removeSystem = qScopeGuard([&system] { QDir(system).removeRecursively(); });
        QFile release(system + QStringLiteral("/etc/lsb-release"));
        if (release.open(QIODevice::WriteOnly | QIODevice::Truncate))
            release.write(parts.value(0));
        release.close();
        SystemInfo::Sources sources;
        sources.root = system;
        sources.environment = QProcessEnvironment();
        sources.environment.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("KDE"));
        const int distro = SystemInfo::detect(sources).distro();
        if (distro != SystemInfo::DistroOther && distro != SystemInfo::DistroElementary)
            std::abort();
    } else if (data[0] % 3 == 1) {
        // Whatever is found lies on one line of the file.
        if (utils::desktopEntryExec(bytes).contains(QLatin1Char('\n')))
            std::abort();
    } else {
        const QMessageLogContext context(nullptr, 0, nullptr, "default");
        const QByteArray line = Logger::formatLine("2026-12-05T23:59:07", 1, QtInfoMsg, context, text);
        // One bounded line, ending in CR LF: at most 3 bytes of UTF-8 for each code unit kept.
        if (Logger::nextCounterAfter(text) < 1 || !line.endsWith("\r\n") ||
            line.size() > 64 + 3 * Logger::kMaxMessageLength + 3)
            std::abort();
    }
    return 0;
}
