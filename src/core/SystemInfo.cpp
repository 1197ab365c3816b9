#include "core/SystemInfo.h"

#include "core/paths.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>

namespace {

QString environmentValue(const SystemInfo::Sources& sources, const char* name)
{
    return sources.environment.value(QString::fromLatin1(name));
}

QString underRoot(const SystemInfo::Sources& sources, const char* absolutePath)
{
    return QDir::cleanPath(sources.root + QLatin1Char('/') + QString::fromLatin1(absolutePath));
}

} // namespace

SystemInfo SystemInfo::detect()
{
    return detect(Sources());
}

SystemInfo SystemInfo::detect(const Sources& sources)
{
    SystemInfo info;
    info.detectSessionType(sources);
    info.detectDesktop(sources);
    info.detectDistribution(sources);
    if (info.isGnome())
        info.detectGnomeVersion(sources);
    return info;
}

void SystemInfo::detectSessionType(const Sources& sources)
{
    const QString type = environmentValue(sources, "XDG_SESSION_TYPE");
    if (type.contains(QLatin1String("x11"), Qt::CaseInsensitive))
        m_session = SessionX11;
    else if (type.contains(QLatin1String("wayland"), Qt::CaseInsensitive))
        m_session = SessionWayland;
    else
        m_session = SessionUnknown;
}

void SystemInfo::detectDesktop(const Sources& sources)
{
    // KDE first: a value naming both counts as KDE.
    const QString desktop = environmentValue(sources, "XDG_CURRENT_DESKTOP");
    if (desktop.contains(QLatin1String("kde"), Qt::CaseInsensitive))
        m_desktop = DesktopKde;
    else if (desktop.contains(QLatin1String("gnome"), Qt::CaseInsensitive))
        m_desktop = DesktopGnome;
    else
        m_desktop = DesktopOther;
}

void SystemInfo::detectDistribution(const Sources& sources)
{
    if (QFileInfo::exists(underRoot(sources, "/etc/redhat-release"))) {
        m_distro = DistroRedHat;
    } else if (QFileInfo::exists(underRoot(sources, "/etc/manjaro-release"))) {
        m_distro = DistroManjaro;
    } else {
        const QString lsbRelease = underRoot(sources, "/etc/lsb-release");
        m_distro = DistroOther;
        if (QFileInfo::exists(lsbRelease)) {
            const QSettings release(lsbRelease, QSettings::IniFormat);
            if (release.value(QStringLiteral("DISTRIB_ID")).toString() == QLatin1String("elementary"))
                m_distro = DistroElementary;
        }
    }
}

std::optional<int> SystemInfo::versionFromVersionFile(const QString& text)
{
    static const QRegularExpression platform(QStringLiteral("<platform>(.+?)</platform>"));
    bool ok = false;
    const int version = platform.match(text).captured(1).toInt(&ok, 10);
    return ok ? std::optional<int>(version) : std::nullopt;
}

int SystemInfo::versionFromShellOutput(const QString& output)
{
    static const QRegularExpression shell(QStringLiteral("GNOME Shell (.+?)$"));
    bool ok = false;
    const float version = shell.match(output).captured(1).toFloat(&ok);
    // A float far outside int's range cannot be a version.
    if (!ok || !(version > -2147483648.0f && version < 2147483648.0f))
        return -1;
    return static_cast<int>(version);
}

void SystemInfo::detectGnomeVersion(const Sources& sources)
{
    const auto fromFile =
        versionFromVersionFile(utils::readTextFile(underRoot(sources, "/usr/share/gnome/gnome-version.xml")));
    if (fromFile) {
        m_gnomeVersion = *fromFile;
        return;
    }

    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(sources.gnomeShell, {QStringLiteral("--version")}, QIODevice::ReadWrite);
    process.waitForFinished(sources.gnomeShellTimeoutMs);
    const QString output = QString::fromUtf8(process.readAllStandardOutput());
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(1000);
    }
    m_gnomeVersion = versionFromShellOutput(output);
}

namespace utils {

const SystemInfo& systemInfo()
{
    static const SystemInfo info = SystemInfo::detect();
    return info;
}

void logSystemInfo(const SystemInfo& info)
{
    qInfo() << "OS:"
            << "Linux";
    switch (info.session()) {
    case SystemInfo::SessionX11:
        qInfo() << "Session:"
                << "X11";
        break;
    case SystemInfo::SessionWayland:
        qInfo() << "Session:"
                << "Wayland";
        break;
    default:
        qInfo() << "Session:"
                << "Unknown";
        break;
    }
    switch (info.desktop()) {
    case SystemInfo::DesktopKde:
        qInfo() << "Desktop:"
                << "KDE";
        break;
    case SystemInfo::DesktopGnome:
        qInfo() << "Desktop:"
                << "Gnome";
        break;
    default:
        qInfo() << "Desktop:"
                << "Unknown";
        break;
    }
    if (info.isGnome())
        qInfo() << "Gnome version:" << info.gnomeVersion();
}

} // namespace utils
