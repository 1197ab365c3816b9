#include "core/crashreporter.h"
#include "core/identity.h"
#include "core/paths.h"
#include "core/settings.h"
#include "support/TestMain.h"

#include <QThread>

namespace {

QString database()
{
    return utils::logsPath() + "/sentry";
}

QJsonObject lastEvent()
{
    const QStringList names = QDir(database()).entryList({"*-event.json"}, QDir::Files, QDir::Name);
    QFile file(QDir(database()).filePath(names.value(names.size() - 1)));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

} // namespace

class TestCrashReporter : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        zq::test::clearSettings();
        QDir(database()).removeRecursively();
        utils::initCrashReporter();
    }

    void cleanup() { utils::shutdownCrashReporter(); }

    void messageEventCarriesReleaseRevisionAndText()
    {
        const QString text =
            QString::fromUtf8("Exception in QeltsListDownloader::replyFinished: d\xc3\xa9j\xc3\xa0 vu");
        utils::reportMessage(text);
        const QJsonObject event = lastEvent();
        QCOMPARE(event.value("message").toString(), QString::fromLocal8Bit(text.toLocal8Bit()));
        QCOMPARE(event.value("level").toString(), QString("error"));
        QCOMPARE(event.value("logger").toString(), QString("custom"));
        QCOMPARE(event.value("release").toString(), utils::appVersionString());
        QVERIFY(!event.value("tags").toObject().value("revision").toString().isEmpty());
    }

    void userFollowsTheStoredAccountAcrossThreads()
    {
        utils::reportMessage("signed out");
        QCOMPARE(lastEvent().value("user").toObject(),
                 (QJsonObject{{"ip_address", "{{auto}}"}, {"email", ""}}));
        kKeyAuthInfo.set({"someone@example.com", "token"});
        utils::setCrashReporterUser();
        std::unique_ptr<QThread> worker(QThread::create([] { utils::reportMessage("from a worker"); }));
        worker->start();
        QVERIFY(worker->wait(60000));
        QCOMPARE(lastEvent().value("message").toString(), QString("from a worker"));
        QCOMPARE(lastEvent().value("user").toObject().value("email").toString(),
                 QString("someone@example.com"));
        kKeyAuthInfo.set({"", ""});
        utils::setCrashReporterUser();
        utils::reportMessage("signed out again");
        QCOMPARE(lastEvent().value("user").toObject().value("email").toString(), QString(""));
    }

    void harmlessAfterShutdown()
    {
        utils::shutdownCrashReporter();
        utils::reportMessage("dropped");
        utils::setCrashReporterUser();
        utils::shutdownCrashReporter();
        QVERIFY(QDir(database()).entryList({"*-event.json"}, QDir::Files).isEmpty());
    }
};

ZQ_TEST_MAIN(TestCrashReporter)
#include "test_crash_reporter.moc"
