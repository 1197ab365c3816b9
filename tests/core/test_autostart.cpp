#include "core/autostart.h"
#include "core/paths.h"
#include "core/settings.h"
#include "support/TestMain.h"

#include <QProcess>
#include <QTemporaryDir>

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void setAppImage(const QString& path)
{
    if (path.isNull())
        qunsetenv("APPIMAGE");
    else
        qputenv("APPIMAGE", path.toUtf8());
}

QString entryPath()
{
    return zq::test::homePath() + "/.config/autostart/zorvane-qelting-tool.desktop";
}

} // namespace

class TestAutostart : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        zq::test::clearSettings();
        QDir(zq::test::homePath() + "/.config/autostart").removeRecursively();
        QFile::remove(zq::test::homePath() + "/.config/autostart");
        setAppImage("/opt/apps/Zorvane.AppImage");
    }

    void writesTheEntryByteForByte()
    {
        QVERIFY(!utils::autostartChanged());
        utils::setAutostart(true);
        QCOMPARE(readAll(entryPath()), QByteArray("[Desktop Entry]\n"
                                                  "Name=Zorvane Qelting Tool\n"
                                                  "Exec='/opt/apps/Zorvane.AppImage'\n"
                                                  "Type=Application\n"
                                                  "Version=03.00.0128"));
        QVERIFY(utils::isAutostartEnabled());
        QVERIFY(utils::autostartChanged());

        utils::setAutostart(false);
        QVERIFY(!QFile::exists(entryPath()));
        QVERIFY(!utils::isAutostartEnabled());
    }

    void unusualInstallPathsAreRecognised_data()
    {
        QTest::addColumn<QString>("appImage");
        QTest::newRow("non-ascii") << QString::fromUtf8(
            "/home/j\xc3\xbcrgen/\xe6\x95\xb0\xe5\xad\xa6/Zorvane.AppImage");
        QTest::newRow("comma") << "/opt/a,b/Zorvane.AppImage";
        QTest::newRow("semicolon") << "/opt/a;b/Zorvane.AppImage";
        QTest::newRow("double quote") << "/opt/a\"b/Zorvane.AppImage";
        QTest::newRow("backslash and spaces") << "/opt/my apps\\x/Zorvane.AppImage";
        QTest::newRow("hash") << "/opt/#1/Zorvane.AppImage";
    }

    void unusualInstallPathsAreRecognised()
    {
        QFETCH(QString, appImage);
        setAppImage(appImage);
        utils::setAutostart(true);
        QVERIFY(readAll(entryPath()).contains("Exec='" + appImage.toUtf8() + "'\n"));
        QVERIFY(utils::isAutostartEnabled());
        // ...and so start at login can be switched off again.
        utils::setAutostart(false);
        QVERIFY(!QFile::exists(entryPath()));
    }

    void staleEntryIsRewrittenButNotRemoved()
    {
        QDir().mkpath(QFileInfo(entryPath()).absolutePath());
        QFile stale(entryPath());
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write("[Desktop Entry]\nExec='/old/place/Zorvane.AppImage'\n");
        stale.close();
        QVERIFY(!utils::isAutostartEnabled());

        utils::setAutostart(false);
        QVERIFY(readAll(entryPath()).contains("/old/place/"));
        QVERIFY(utils::autostartChanged());

        utils::setAutostart(true);
        QVERIFY(readAll(entryPath()).contains("Exec='/opt/apps/Zorvane.AppImage'\n"));
        QVERIFY(utils::isAutostartEnabled());
    }

    void disablingWithoutAnEntryOnlyRecordsTheChoice()
    {
        utils::setAutostart(false);
        QVERIFY(!QFile::exists(entryPath()));
        QVERIFY(utils::autostartChanged());
    }

    void unusableAppImageChangesNothing_data()
    {
        QTest::addColumn<QString>("appImage");
        QTest::addColumn<QString>("warning");
        QTest::newRow("unset") << QString() << "APPIMAGE path is empty";
        QTest::newRow("empty") << ""
                               << "APPIMAGE path is empty";
        QTest::newRow("newline") << "/opt/x\nExec=rm -rf ~\n"
                                 << "APPIMAGE path cannot be written";
        QTest::newRow("carriage return") << "/opt/x\r"
                                         << "APPIMAGE path cannot be written";
        QTest::newRow("single quote") << "/opt/it's/Zorvane.AppImage"
                                      << "APPIMAGE path cannot be written";
    }

    void unusableAppImageChangesNothing()
    {
        QFETCH(QString, appImage);
        QFETCH(QString, warning);
        setAppImage(appImage);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^" + QRegularExpression::escape(warning)));
        utils::setAutostart(true);
        QVERIFY(!QFile::exists(entryPath()));
        // Not recorded, so the next start tries again.
        QVERIFY(!utils::autostartChanged());
    }

    void failedWriteIsNotRecorded()
    {
        QVERIFY(QDir().mkpath(entryPath())); // a folder where the entry should be
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Failed to (open|write) autostart file"));
        utils::setAutostart(true);
        QVERIFY(!utils::isAutostartEnabled());
        QVERIFY(!utils::autostartChanged());
    }

    void uncreatableAutostartFolder()
    {
        QDir().mkpath(zq::test::homePath() + "/.config");
        QFile blocker(zq::test::homePath() + "/.config/autostart");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("^Failed to create autostart folder:  \".*/autostart\"$"));
        QVERIFY(utils::autostartFilePath().isEmpty());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Failed to create autostart folder"));
        QTest::ignoreMessage(QtWarningMsg, "Autostart file name is empty");
        utils::setAutostart(true);
        QVERIFY(!utils::autostartChanged());
    }

    void execLineOfTheDesktopEntryGroup_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("exec");
        QTest::newRow("ours") << QByteArray("[Desktop Entry]\nName=x\nExec='/a b'\nType=Application")
                              << "'/a b'";
        QTest::newRow("crlf") << QByteArray("[Desktop Entry]\r\nExec='/a'\r\n") << "'/a'";
        QTest::newRow("other group only") << QByteArray("[Other]\nExec='/a'\n") << QString();
        QTest::newRow("first in group wins")
            << QByteArray("[Other]\nExec=1\n[Desktop Entry]\nExec=2\nExec=3\n") << "2";
        QTest::newRow("spaced key is not ours") << QByteArray("[Desktop Entry]\nExec = '/a'\n") << QString();
        QTest::newRow("no group") << QByteArray("Exec='/a'\n") << QString();
        QTest::newRow("empty") << QByteArray() << QString();
        QTest::newRow("utf-8") << QByteArray("[Desktop Entry]\nExec='/\xc3\xa9'")
                               << QString::fromUtf8("'/\xc3\xa9'");
    }

    void execLineOfTheDesktopEntryGroup()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, exec);
        QCOMPARE(utils::desktopEntryExec(content), exec);
    }

    void statePathIsMadeOnFirstUse()
    {
        QProcess probe;
        probe.start(QCoreApplication::applicationDirPath() + "/state_path_probe", QStringList());
        QVERIFY(probe.waitForFinished(60000));
        QCOMPARE(probe.exitCode(), 0);
        const QString path = QString::fromUtf8(probe.readAllStandardOutput()).trimmed();
        QVERIFY(path.endsWith("/state"));
        QVERIFY(path.startsWith(zq::test::homePath()));
        QVERIFY(QFileInfo(path).isDir());
    }

    void statePathThatCannotBeMadeEndsTheProcessWithOne()
    {
        QTemporaryDir dir;
        QFile blocker(dir.filePath("data"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QProcess probe;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_DATA_HOME", dir.filePath("data"));
        probe.setProcessEnvironment(environment);
        probe.start(QCoreApplication::applicationDirPath() + "/state_path_probe", QStringList());
        QVERIFY(probe.waitForFinished(60000));
        QCOMPARE(probe.exitStatus(), QProcess::NormalExit);
        QCOMPARE(probe.exitCode(), 1);
        QVERIFY(probe.readAllStandardOutput().isEmpty());
        QVERIFY(probe.readAllStandardError().contains("Failed to create path for state"));
    }
};

ZQ_TEST_MAIN(TestAutostart)
#include "test_autostart.moc"
