#include "core/SystemInfo.h"
#include "support/TestMain.h"

#include <QTemporaryDir>

namespace {

void writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
}

} // namespace

class TestSystemInfo : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_rootSerial = 0;

    // A fresh root folder with the given files, and an environment holding only the given variables.
    SystemInfo::Sources sources(const QHash<QString, QByteArray>& files,
                                const QString& sessionType = QString(), const QString& desktop = QString())
    {
        SystemInfo::Sources s;
        s.root = m_dir.filePath(QString::number(++m_rootSerial));
        QDir().mkpath(s.root);
        for (auto it = files.begin(); it != files.end(); ++it)
            writeFile(s.root + it.key(), it.value());
        s.environment = QProcessEnvironment();
        if (!sessionType.isNull())
            s.environment.insert("XDG_SESSION_TYPE", sessionType);
        if (!desktop.isNull())
            s.environment.insert("XDG_CURRENT_DESKTOP", desktop);
        s.gnomeShell = s.root + "/bin/gnome-shell";
        return s;
    }

    // A stand-in for gnome-shell that prints the given text and leaves a mark that it ran.
    static void fakeShell(const SystemInfo::Sources& s, const QByteArray& output,
                          const QByteArray& after = "")
    {
        writeFile(s.gnomeShell,
                  "#!/bin/sh\ntouch \"$0.ran\"\n[ \"$1\" = --version ] || exit 2\nprintf '%s' '" + output +
                      "'\n" + after);
        QFile::setPermissions(s.gnomeShell, QFile::permissions(s.gnomeShell) | QFileDevice::ExeOwner);
    }

private slots:
    void sessionAndDesktopFromEnvironment_data()
    {
        QTest::addColumn<QString>("sessionType");
        QTest::addColumn<QString>("desktopName");
        QTest::addColumn<int>("session");
        QTest::addColumn<int>("desktop");
        QTest::newRow("X11 KDE") << "X11"
                                 << "KDE" << int(SystemInfo::SessionX11) << int(SystemInfo::DesktopKde);
        QTest::newRow("x11 ubuntu") << "x11"
                                    << "ubuntu:GNOME" << int(SystemInfo::SessionX11)
                                    << int(SystemInfo::DesktopGnome);
        QTest::newRow("wayland classic")
            << "wayland"
            << "GNOME-Classic:GNOME" << int(SystemInfo::SessionWayland) << int(SystemInfo::DesktopGnome);
        // Substrings count, and KDE wins over GNOME.
        QTest::newRow("substrings") << "my-Wayland-session"
                                    << "GNOME:KDE" << int(SystemInfo::SessionWayland)
                                    << int(SystemInfo::DesktopKde);
        QTest::newRow("tty cinnamon")
            << "tty"
            << "X-Cinnamon" << int(SystemInfo::SessionUnknown) << int(SystemInfo::DesktopOther);
        QTest::newRow("unset") << QString() << QString() << int(SystemInfo::SessionUnknown)
                               << int(SystemInfo::DesktopOther);
    }

    void sessionAndDesktopFromEnvironment()
    {
        QFETCH(QString, sessionType);
        QFETCH(QString, desktopName);
        QFETCH(int, session);
        QFETCH(int, desktop);
        const SystemInfo info = SystemInfo::detect(sources({}, sessionType, desktopName));
        QCOMPARE(info.session(), session);
        QCOMPARE(info.desktop(), desktop);
    }

    void distributionByReleaseFilesInOrder_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QByteArray>("lsbRelease");
        QTest::addColumn<int>("distro");
        const QByteArray elementary = "DISTRIB_ID=elementary\nDISTRIB_RELEASE=7\n";
        const QString redHat = "/etc/redhat-release";
        const QString manjaro = "/etc/manjaro-release";
        QTest::newRow("none") << QStringList() << QByteArray() << int(SystemInfo::DistroOther);
        QTest::newRow("red hat over lsb")
            << QStringList{redHat} << elementary << int(SystemInfo::DistroRedHat);
        QTest::newRow("red hat over manjaro")
            << QStringList{redHat, manjaro} << QByteArray() << int(SystemInfo::DistroRedHat);
        QTest::newRow("manjaro over lsb")
            << QStringList{manjaro} << elementary << int(SystemInfo::DistroManjaro);
        QTest::newRow("elementary") << QStringList() << elementary << int(SystemInfo::DistroElementary);
        QTest::newRow("quoted") << QStringList() << QByteArray("DISTRIB_ID=\"elementary\"\n")
                                << int(SystemInfo::DistroElementary);
        QTest::newRow("capital") << QStringList() << QByteArray("DISTRIB_ID=Elementary\n")
                                 << int(SystemInfo::DistroOther);
        QTest::newRow("garbage") << QStringList() << QByteArray("\x00\xff[[=\n=", 7)
                                 << int(SystemInfo::DistroOther);
    }

    void distributionByReleaseFilesInOrder()
    {
        QFETCH(QStringList, files);
        QFETCH(QByteArray, lsbRelease);
        QFETCH(int, distro);
        QHash<QString, QByteArray> content; // release files count even when empty
        for (const QString& f : files)
            content.insert(f, QByteArray());
        if (!lsbRelease.isNull())
            content.insert("/etc/lsb-release", lsbRelease);
        QCOMPARE(SystemInfo::detect(sources(content)).distro(), distro);
    }

    void gnomeVersionFromFileOrShell_data()
    {
        QTest::addColumn<QByteArray>("versionFile");
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QString>("desktop");
        QTest::addColumn<int>("version");
        QTest::addColumn<bool>("shellRuns");
        const QByteArray file45 =
            "<gnome-version>\n  <platform>45</platform>\n  <minor>2</minor>\n</gnome-version>\n";
        QTest::newRow("file, shell not started")
            << file45 << QByteArray("GNOME Shell 99.0\n") << "GNOME" << 45 << false;
        QTest::newRow("never off GNOME") << file45 << QByteArray("GNOME Shell 45\n") << "KDE" << -1 << false;
        QTest::newRow("42.5") << QByteArray() << QByteArray("GNOME Shell 42.5\n") << "GNOME" << 42 << true;
        QTest::newRow("40.0 unended")
            << QByteArray() << QByteArray("GNOME Shell 40.0") << "GNOME" << 40 << true;
        QTest::newRow("3.38.4") << QByteArray() << QByteArray("GNOME Shell 3.38.4\n") << "GNOME" << -1
                                << true;
        QTest::newRow("no output") << QByteArray() << QByteArray("") << "GNOME" << -1 << true;
        QTest::newRow("huge number") << QByteArray() << QByteArray("GNOME Shell 1e30\n") << "GNOME" << -1
                                     << true;
        QTest::newRow("file without platform")
            << QByteArray("<gnome-version/>") << QByteArray("GNOME Shell 46.1\n") << "GNOME" << 46 << true;
        QTest::newRow("platform not a number") << QByteArray("<platform>x</platform>")
                                               << QByteArray("GNOME Shell 44\n") << "GNOME" << 44 << true;
        QTest::newRow("no such program") << QByteArray() << QByteArray() << "GNOME" << -1 << false;
    }

    void gnomeVersionFromFileOrShell()
    {
        QFETCH(QByteArray, versionFile);
        QFETCH(QByteArray, output);
        QFETCH(QString, desktop);
        QFETCH(int, version);
        QFETCH(bool, shellRuns);
        QHash<QString, QByteArray> files;
        if (!versionFile.isNull())
            files.insert("/usr/share/gnome/gnome-version.xml", versionFile);
        const auto s = sources(files, "x11", desktop);
        if (!output.isNull())
            fakeShell(s, output);
        QCOMPARE(SystemInfo::detect(s).gnomeVersion(), version);
        QCOMPARE(QFile::exists(s.gnomeShell + ".ran"), shellRuns);
    }

    void hangingShellCountsWhatItPrintedInTime()
    {
        auto s = sources({}, "wayland", "GNOME");
        fakeShell(s, "GNOME Shell 44.1\n", "exec sleep 600\n");
        s.gnomeShellTimeoutMs = 200;
        QCOMPARE(SystemInfo::detect(s).gnomeVersion(), 44);
    }
};

ZQ_TEST_MAIN(TestSystemInfo)
#include "test_system_info.moc"
