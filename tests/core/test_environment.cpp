#include "support/TestMain.h"

#include <QSettings>
#include <QStandardPaths>

// The harness itself: every test process must run in its own throw-away home.
class TestEnvironment : public QObject
{
    Q_OBJECT

private slots:
    void settingsLiveInTheTemporaryHome()
    {
        const QString home = zq::test::homePath();
        QVERIFY(!home.isEmpty());
        QVERIFY(zq::test::settingsFilePath().startsWith(home));
        QVERIFY(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation).startsWith(home));
        QCOMPARE(QSettings().fileName(),
                 home + QStringLiteral("/.config/Zorvane/Zorvane Qelting Tool.conf"));
    }

    void rawSettingsAreWrittenAsGiven()
    {
        QVERIFY(zq::test::writeRawSettings("[General]\nSome=1\n"));
        QFile file(zq::test::settingsFilePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("[General]\nSome=1\n"));
    }
};

ZQ_TEST_MAIN(TestEnvironment)
#include "test_environment.moc"
