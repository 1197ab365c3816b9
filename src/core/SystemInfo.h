#pragma once

#include <QProcessEnvironment>
#include <QString>

#include <optional>

// The desktop session, desktop, distribution and GNOME Shell version the application runs on.
class SystemInfo
{
public:
    enum Session { SessionUnknown = 0, SessionX11 = 1, SessionWayland = 2 };
    enum Desktop { DesktopOther = 0, DesktopGnome = 1, DesktopKde = 2 };
    enum Distro { DistroOther = 0, DistroRedHat = 1, DistroManjaro = 2, DistroElementary = 3 };

    // Where detection looks. The defaults are the running system; tests point them elsewhere.
    struct Sources
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        QString root = QStringLiteral("/"); // prefix of the release and version files
        QString gnomeShell = QStringLiteral("gnome-shell");
        int gnomeShellTimeoutMs = 30000;
    };

    SystemInfo() = default;
    // A given record, for callers that test their own choices against each kind of system.
    SystemInfo(int session, int desktop, int distro, int gnomeVersion)
        : m_session(session), m_desktop(desktop), m_distro(distro), m_gnomeVersion(gnomeVersion)
    {
    }

    static SystemInfo detect();
    static SystemInfo detect(const Sources& sources);

    int session() const { return m_session; }
    int desktop() const { return m_desktop; }
    int distro() const { return m_distro; }
    // Major version of GNOME Shell; -1 when unknown or not on GNOME.
    int gnomeVersion() const { return m_gnomeVersion; }

    bool isWayland() const { return m_session == SessionWayland; }
    bool isGnome() const { return m_desktop == DesktopGnome; }
    bool isRedHat() const { return m_distro == DistroRedHat; }
    bool isManjaro() const { return m_distro == DistroManjaro; }
    bool isElementary() const { return m_distro == DistroElementary; }

    // The version in a gnome-version.xml text; nothing when it holds no whole number.
    static std::optional<int> versionFromVersionFile(const QString& text);
    // The major version in "gnome-shell --version" output; -1 when there is none.
    static int versionFromShellOutput(const QString& output);

private:
    void detectSessionType(const Sources& sources);
    void detectDesktop(const Sources& sources);
    void detectDistribution(const Sources& sources);
    void detectGnomeVersion(const Sources& sources);

    int m_session = SessionUnknown;
    int m_desktop = DesktopOther;
    int m_distro = DistroOther;
    int m_gnomeVersion = -1;
};

namespace utils {

// The record of this process, detected on the first call; safe before the application object exists.
const SystemInfo& systemInfo();

// Writes the record to the log at information level.
void logSystemInfo(const SystemInfo& info);

} // namespace utils
