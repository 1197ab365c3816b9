#include "core/autostart.h"
#include "core/paths.h"
#include "core/settings.h"
#include "support/TestMain.h"

#include <QProcess>
#include <QTemporaryDir>

namespace {

QStringList g_warnings;

void collect(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtWarningMsg)
        g_warnings << text;
}

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
        QCOMPARE(readAll(entryPath()), QByteArray("[Desktop Entry]\nName=Zorvane Qelting Tool\n"
                                                  "Exec='/opt/apps/Zorvane.AppImage'\nType=Application\n"
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
            "/home/j\xc3\xbcrgen/\xe6\x95\xb0\xe5\xad\xa6/Z.AppImage");
        QTest::newRow("semicolon") << "/opt/a;b/Zorvane.AppImage";
        QTest::newRow("double quote") << "/opt/a\"b/Zorvane.AppImage";
        QTest::newRow("backslash and spaces") << "/opt/my apps\\x/Zorvane.AppImage";
    }

    void unusualInstallPathsAreRecognised()
    {
        QFETCH(QString, appImage);
        setAppImage(appImage);
        utils::setAutostart(true);
        QVERIFY(readAll(entryPath()).contains("Exec='" + appImage.toUtf8() + "'\n"));
        QVERIFY(utils::isAutostartEnabled());
        utils::setAutostart(false); // ...and so start at login can be switched off again
        QVERIFY(!QFile::exists(entryPath()));
    }

    void staleEntryIsRewrittenButNotRemoved()
    {
        utils::setAutostart(false); // without an entry, only the choice is recorded
        QVERIFY(!QFile::exists(entryPath()));
        QVERIFY(utils::autostartChanged());
        QDir().mkpath(QFileInfo(entryPath()).path());
        QFile stale(entryPath());
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write("[Desktop Entry]\nExec='/old/place/Zorvane.AppImage'\n");
        stale.close();
        QVERIFY(!utils::isAutostartEnabled());
        utils::setAutostart(false);
        QVERIFY(readAll(entryPath()).contains("/old/place/"));
        utils::setAutostart(true);
        QVERIFY(readAll(entryPath()).contains("Exec='/opt/apps/Zorvane.AppImage'\n"));
        QVERIFY(utils::isAutostartEnabled());
    }

    void failedSetUpIsNotRecorded_data()
    {
        QTest::addColumn<QString>("appImage");
        QTest::addColumn<QString>("blocked");
        QTest::addColumn<QString>("warning");
        const QString app = "/opt/apps/Zorvane.AppImage";
        QTest::newRow("unset") << QString() << QString() << "APPIMAGE path is empty";
        QTest::newRow("empty") << "" << QString() << "APPIMAGE path is empty";
        QTest::newRow("newline") << "/opt/x\nExec=rm -rf ~\n"
                                 << QString() << "APPIMAGE path cannot be written";
        QTest::newRow("carriage return") << "/opt/x\r" << QString() << "APPIMAGE path cannot be written";
        QTest::newRow("single quote")
            << "/opt/it's/Z.AppImage" << QString() << "APPIMAGE path cannot be written";
        QTest::newRow("folder as entry") << app << entryPath() << "Failed to (open|write) autostart file";
        QTest::newRow("file as folder")
            << app << QFileInfo(entryPath()).path() << "Failed to create autostart folder: ";
    }

    void failedSetUpIsNotRecorded()
    {
        QFETCH(QString, appImage);
        QFETCH(QString, blocked);
        QFETCH(QString, warning);
        setAppImage(appImage);
        QDir().mkpath(zq::test::homePath() + "/.config");
        if (blocked == entryPath())
            QVERIFY(QDir().mkpath(blocked));
        else if (!blocked.isNull())
            QVERIFY(QFile(blocked).open(QIODevice::WriteOnly));
        g_warnings.clear();
        const QtMessageHandler previous = qInstallMessageHandler(collect);
        utils::setAutostart(true);
        qInstallMessageHandler(previous);
        QVERIFY2(QRegularExpression("^" + warning).match(g_warnings.value(0)).hasMatch(),
                 qPrintable(g_warnings.join('\n')));
        QVERIFY(!QFileInfo(entryPath()).isFile());
        QVERIFY(!utils::isAutostartEnabled());
        QVERIFY(!utils::autostartChanged()); // so the next start tries again
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

    void statePathIsMadeOrTheProcessEndsWithOne_data()
    {
        QTest::addColumn<bool>("blocked");
        QTest::newRow("made on first use") << false;
        QTest::newRow("cannot be made") << true;
    }

    void statePathIsMadeOrTheProcessEndsWithOne()
    {
        QFETCH(bool, blocked);
        QTemporaryDir dir;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (blocked) {
            QVERIFY(QFile(dir.filePath("data")).open(QIODevice::WriteOnly)); // a file where the folder goes
            environment.insert("XDG_DATA_HOME", dir.filePath("data"));
        }
        QProcess probe;
        probe.setProcessEnvironment(environment);
        probe.start(QCoreApplication::applicationDirPath() + "/state_path_probe", QStringList());
        QVERIFY(probe.waitForFinished(60000));
        QCOMPARE(probe.exitStatus(), QProcess::NormalExit);
        QCOMPARE(probe.exitCode(), blocked ? 1 : 0);
        const QString path = QString::fromUtf8(probe.readAllStandardOutput()).trimmed();
        QCOMPARE(probe.readAllStandardError().contains("Failed to create path for state"), blocked);
        QCOMPARE(path.isEmpty(), blocked);
        QVERIFY(blocked || (path.startsWith(zq::test::homePath()) && path.endsWith("/state") &&
                            QFileInfo(path).isDir()));
    }
};

ZQ_TEST_MAIN(TestAutostart)
#include "test_autostart.moc"
