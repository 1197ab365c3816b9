#include "core/SystemInfo.h"
#include "support/TestMain.h"

#include <QTemporaryDir>

namespace {

QStringList g_messages;

void collect(QtMsgType, const QMessageLogContext&, const QString& text)
{
    g_messages << text;
}

bool writeFile(const QString& path, const QByteArray& content, bool executable = false)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return false;
    file.close();
    if (executable)
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    return true;
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
        s.gnomeShell = s.root + "/no-such-gnome-shell";
        return s;
    }

    // A stand-in for gnome-shell that prints the given text and leaves a mark that it ran.
    QString fakeShell(const SystemInfo::Sources& s, const QByteArray& output, const QByteArray& after = "")
    {
        const QString path = s.root + "/bin/gnome-shell";
        writeFile(path,
                  "#!/bin/sh\ntouch \"$0.ran\"\n[ \"$1\" = --version ] || exit 2\nprintf '%s' '" + output +
                      "'\n" + after,
                  true);
        return path;
    }

private slots:
    void sessionFromEnvironment_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("session");
        QTest::newRow("X11") << "X11" << int(SystemInfo::SessionX11);
        QTest::newRow("x11") << "x11" << int(SystemInfo::SessionX11);
        QTest::newRow("wayland") << "wayland" << int(SystemInfo::SessionWayland);
        QTest::newRow("substring") << "my-Wayland-session" << int(SystemInfo::SessionWayland);
        QTest::newRow("tty") << "tty" << int(SystemInfo::SessionUnknown);
        QTest::newRow("unset") << QString() << int(SystemInfo::SessionUnknown);
    }

    void sessionFromEnvironment()
    {
        QFETCH(QString, value);
        QFETCH(int, session);
        QCOMPARE(SystemInfo::detect(sources({}, value)).session(), session);
    }

    void desktopFromEnvironmentKdeBeforeGnome_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("desktop");
        QTest::newRow("KDE") << "KDE" << int(SystemInfo::DesktopKde);
        QTest::newRow("ubuntu:GNOME") << "ubuntu:GNOME" << int(SystemInfo::DesktopGnome);
        QTest::newRow("GNOME-Classic:GNOME") << "GNOME-Classic:GNOME" << int(SystemInfo::DesktopGnome);
        QTest::newRow("both") << "GNOME:KDE" << int(SystemInfo::DesktopKde);
        QTest::newRow("X-Cinnamon") << "X-Cinnamon" << int(SystemInfo::DesktopOther);
        QTest::newRow("unset") << QString() << int(SystemInfo::DesktopOther);
    }

    void desktopFromEnvironmentKdeBeforeGnome()
    {
        QFETCH(QString, value);
        QFETCH(int, desktop);
        QCOMPARE(SystemInfo::detect(sources({}, {}, value)).desktop(), desktop);
    }

    void distributionByReleaseFilesInOrder_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QByteArray>("lsbRelease");
        QTest::addColumn<int>("distro");
        const QByteArray elementary = "DISTRIB_ID=elementary\nDISTRIB_RELEASE=7\n";
        QTest::newRow("none") << QStringList() << QByteArray() << int(SystemInfo::DistroOther);
        QTest::newRow("red hat over lsb")
            << QStringList{"/etc/redhat-release"} << elementary << int(SystemInfo::DistroRedHat);
        QTest::newRow("empty red hat file counts")
            << QStringList{"/etc/redhat-release"} << QByteArray() << int(SystemInfo::DistroRedHat);
        QTest::newRow("red hat over manjaro") << QStringList{"/etc/redhat-release", "/etc/manjaro-release"}
                                              << QByteArray() << int(SystemInfo::DistroRedHat);
        QTest::newRow("manjaro over lsb")
            << QStringList{"/etc/manjaro-release"} << elementary << int(SystemInfo::DistroManjaro);
        QTest::newRow("elementary") << QStringList() << elementary << int(SystemInfo::DistroElementary);
        QTest::newRow("quoted elementary") << QStringList() << QByteArray("DISTRIB_ID=\"elementary\"\n")
                                           << int(SystemInfo::DistroElementary);
        QTest::newRow("capital Elementary")
            << QStringList() << QByteArray("DISTRIB_ID=Elementary\n") << int(SystemInfo::DistroOther);
        QTest::newRow("ubuntu") << QStringList() << QByteArray("DISTRIB_ID=Ubuntu\n")
                                << int(SystemInfo::DistroOther);
        QTest::newRow("garbage") << QStringList() << QByteArray("\x00\xff[[=\n=", 7)
                                 << int(SystemInfo::DistroOther);
    }

    void distributionByReleaseFilesInOrder()
    {
        QFETCH(QStringList, files);
        QFETCH(QByteArray, lsbRelease);
        QFETCH(int, distro);
        QHash<QString, QByteArray> content;
        for (const QString& f : files)
            content.insert(f, QByteArray());
        if (!lsbRelease.isNull())
            content.insert("/etc/lsb-release", lsbRelease);
        QCOMPARE(SystemInfo::detect(sources(content)).distro(), distro);
    }

    void gnomeVersionFromFileWithoutStartingTheShell()
    {
        auto s =
            sources({{"/usr/share/gnome/gnome-version.xml",
                      "<gnome-version>\n  <platform>45</platform>\n  <minor>2</minor>\n</gnome-version>\n"}},
                    "wayland", "GNOME");
        s.gnomeShell = fakeShell(s, "GNOME Shell 99.0\n");
        const SystemInfo info = SystemInfo::detect(s);
        QCOMPARE(info.gnomeVersion(), 45);
        QVERIFY(!QFile::exists(s.gnomeShell + ".ran"));
    }

    void gnomeVersionFromShellOutput_data()
    {
        QTest::addColumn<QByteArray>("versionFile");
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<int>("version");
        QTest::newRow("42.5 and line end") << QByteArray() << QByteArray("GNOME Shell 42.5\n") << 42;
        QTest::newRow("40.0") << QByteArray() << QByteArray("GNOME Shell 40.0") << 40;
        QTest::newRow("3.38.4 does not convert") << QByteArray() << QByteArray("GNOME Shell 3.38.4\n") << -1;
        QTest::newRow("no output") << QByteArray() << QByteArray() << -1;
        QTest::newRow("file without platform")
            << QByteArray("<gnome-version/>") << QByteArray("GNOME Shell 46.1\n") << 46;
        QTest::newRow("file platform not a number")
            << QByteArray("<platform>x</platform>") << QByteArray("GNOME Shell 44\n") << 44;
        QTest::newRow("huge number") << QByteArray() << QByteArray("GNOME Shell 1e30\n") << -1;
    }

    void gnomeVersionFromShellOutput()
    {
        QFETCH(QByteArray, versionFile);
        QFETCH(QByteArray, output);
        QFETCH(int, version);
        QHash<QString, QByteArray> files;
        if (!versionFile.isNull())
            files.insert("/usr/share/gnome/gnome-version.xml", versionFile);
        auto s = sources(files, "x11", "GNOME");
        s.gnomeShell = fakeShell(s, output);
        QCOMPARE(SystemInfo::detect(s).gnomeVersion(), version);
        QVERIFY(QFile::exists(s.gnomeShell + ".ran"));
    }

    void missingOrHangingShellLeavesWhatItKnows()
    {
        auto s = sources({}, "wayland", "GNOME");
        QCOMPARE(SystemInfo::detect(s).gnomeVersion(), -1); // no such program

        // A shell that prints and then never ends: the wait is bounded and its output so far counts.
        s.gnomeShell = fakeShell(s, "GNOME Shell 44.1\n", "exec sleep 600\n");
        s.gnomeShellTimeoutMs = 200;
        QCOMPARE(SystemInfo::detect(s).gnomeVersion(), 44);
    }

    void gnomeVersionIsNeverReadOffGnome()
    {
        auto s =
            sources({{"/usr/share/gnome/gnome-version.xml", "<platform>45</platform>"}}, "wayland", "KDE");
        s.gnomeShell = fakeShell(s, "GNOME Shell 45\n");
        QCOMPARE(SystemInfo::detect(s).gnomeVersion(), -1);
        QVERIFY(!QFile::exists(s.gnomeShell + ".ran"));
    }

    void logLinesNameWhatWasDetected_data()
    {
        QTest::addColumn<int>("session");
        QTest::addColumn<int>("desktop");
        QTest::addColumn<int>("gnomeVersion");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("gnome wayland")
            << 2 << 1 << 46
            << QStringList{"OS: Linux", "Session: Wayland", "Desktop: Gnome", "Gnome version: 46"};
        QTest::newRow("gnome unknown version")
            << 1 << 1 << -1
            << QStringList{"OS: Linux", "Session: X11", "Desktop: Gnome", "Gnome version: -1"};
        QTest::newRow("kde") << 1 << 2 << -1 << QStringList{"OS: Linux", "Session: X11", "Desktop: KDE"};
        QTest::newRow("unknown") << 7 << 9 << -1
                                 << QStringList{"OS: Linux", "Session: Unknown", "Desktop: Unknown"};
    }

    void logLinesNameWhatWasDetected()
    {
        QFETCH(int, session);
        QFETCH(int, desktop);
        QFETCH(int, gnomeVersion);
        QFETCH(QStringList, lines);
        g_messages.clear();
        const QtMessageHandler previous = qInstallMessageHandler(collect);
        utils::logSystemInfo(SystemInfo(session, desktop, 0, gnomeVersion));
        qInstallMessageHandler(previous);
        QCOMPARE(g_messages, lines);
    }

    void processRecordIsDetectedOnce()
    {
        const SystemInfo* first = &utils::systemInfo();
        QCOMPARE(&utils::systemInfo(), first);
    }
};

ZQ_TEST_MAIN(TestSystemInfo)
#include "test_system_info.moc"
