#include "support/FakeService.h"
#include "support/TestMain.h"

#include <crashreport.h>

#include "upload.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <memory>
#include <vector>

using zq::test::FakeService;
using zq::test::Reply;

namespace {

bool initAt(const QString& folder, const QByteArray& dsn = QByteArray(), const char* release = "1.2.3")
{
    sentry_options_t* options = sentry_options_new();
    sentry_options_set_dsn(options, dsn.constData());
    sentry_options_set_database_path(options, QFile::encodeName(folder).constData());
    sentry_options_set_release(options, release);
    return sentry_init(options) == 0;
}

void setUser(const char* email)
{
    sentry_value_t user = sentry_value_new_object();
    sentry_value_set_by_key(user, "ip_address", sentry_value_new_string("{{auto}}"));
    sentry_value_set_by_key(user, "email", sentry_value_new_string(email));
    sentry_set_user(user);
}

sentry_uuid_t capture(const char* text)
{
    return sentry_capture_event(sentry_value_new_message_event(SENTRY_LEVEL_ERROR, "custom", text));
}

bool isNil(const sentry_uuid_t& id)
{
    return QByteArray(reinterpret_cast<const char*>(id.bytes), 16) == QByteArray(16, '\0');
}

QStringList records(const QString& folder, const QString& pattern = "*.json")
{
    return QDir(folder).entryList({pattern}, QDir::Files, QDir::Name);
}

QJsonObject readRecord(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    return error.error == QJsonParseError::NoError ? document.object() : QJsonObject{{"unparsable", true}};
}

void writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

} // namespace

class TestCrashReport : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_db;

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_db = m_dir->filePath("db");
    }

    void cleanup() { sentry_shutdown(); }

    void harmlessWhenNotStarted()
    {
        // Before any start.
        QVERIFY(isNil(capture("lost")));
        sentry_set_tag("revision", "x");
        setUser("a@b.c");
        QCOMPARE(sentry_shutdown(), 0);

        // A start that fails: no folder given, and a folder that cannot be made.
        QVERIFY(sentry_init(nullptr) != 0);
        QVERIFY(!initAt(QString()));
        writeFile(m_dir->filePath("file"), "x");
        QVERIFY(!initAt(m_dir->filePath("file/db")));
        QVERIFY(isNil(capture("lost")));

        // After shutdown, twice over.
        QVERIFY(initAt(m_db));
        QCOMPARE(sentry_shutdown(), 0);
        QCOMPARE(sentry_shutdown(), 0);
        QVERIFY(isNil(capture("lost")));
        QVERIFY(records(m_db).isEmpty());

        // Values never handed over, and misuse of them.
        sentry_value_t text = sentry_value_new_string("t");
        QVERIFY(sentry_value_set_by_key(text, "k", sentry_value_new_string("v")) != 0);
        sentry_value_decref(text);
        sentry_value_decref(nullptr);
        QVERIFY(isNil(sentry_capture_event(sentry_value_new_object())));
    }

    void messageEventIsStoredWithReleaseTagsAndUser()
    {
        QVERIFY(initAt(m_db, QByteArray(), "Zorvane Qelt Linux App v03.00.0128"));
        sentry_set_tag("revision", "0123abcd");
        setUser("someone@example.com");
        const QString text = QString::fromUtf8("Exception: \xc3\xa9t\xc3\xa9 \"quoted\"\n\\ %1");
        const sentry_uuid_t id = capture(text.toLocal8Bit().constData());
        QVERIFY(!isNil(id));

        const QStringList files = records(m_db);
        QCOMPARE(files.size(), 1);
        const QJsonObject event = readRecord(QDir(m_db).filePath(files.first()));
        QCOMPARE(event.value("kind").toString(), QString("message"));
        QCOMPARE(event.value("level").toString(), QString("error"));
        QCOMPARE(event.value("logger").toString(), QString("custom"));
        QCOMPARE(event.value("message").toString(), text);
        QCOMPARE(event.value("release").toString(), QString("Zorvane Qelt Linux App v03.00.0128"));
        QCOMPARE(event.value("tags").toObject().value("revision").toString(), QString("0123abcd"));
        QCOMPARE(event.value("user").toObject().value("email").toString(), QString("someone@example.com"));
        QCOMPARE(event.value("user").toObject().value("ip_address").toString(), QString("{{auto}}"));
        QVERIFY(QDateTime::fromString(event.value("timestamp").toString(), Qt::ISODate).isValid());
        const QUuid uuid = QUuid::fromRfc4122(QByteArray(reinterpret_cast<const char*>(id.bytes), 16));
        QCOMPARE(event.value("event_id").toString(), uuid.toString(QUuid::Id128));
    }

    void userFollowsTheLastSetUser()
    {
        QVERIFY(initAt(m_db));
        setUser("first@example.com");
        setUser("");
        capture("after sign-out");
        const QJsonObject event = readRecord(QDir(m_db).filePath(records(m_db).first()));
        QCOMPARE(event.value("user").toObject().value("email").toString(), QString(""));
        QCOMPARE(event.value("user").toObject().value("ip_address").toString(), QString("{{auto}}"));
    }

    void bytesThatAreNotUtf8StillMakeAValidRecord()
    {
        QVERIFY(initAt(m_db));
        capture("bad \xff\xfe bytes \xc3 and \x01 control");
        const QJsonObject event = readRecord(QDir(m_db).filePath(records(m_db).first()));
        QVERIFY(!event.contains("unparsable"));
        QCOMPARE(event.value("message").toString(),
                 QString::fromUtf8("bad \xef\xbf\xbd\xef\xbf\xbd bytes \xef\xbf\xbd and \x01 control"));
    }

    void eventsFromManyThreadsAreEachStoredWhole()
    {
        QVERIFY(initAt(m_db));
        std::vector<std::unique_ptr<QThread>> threads;
        for (int t = 0; t < 8; ++t) {
            threads.emplace_back(QThread::create([t] {
                for (int i = 0; i < 25; ++i) {
                    capture(QByteArray("thread " + QByteArray::number(t) + " event " + QByteArray::number(i))
                                .constData());
                    if (i % 5 == 0)
                        setUser(QByteArray::number(t).constData());
                }
            }));
            threads.back()->start();
        }
        for (auto& thread : threads)
            QVERIFY(thread->wait(60000));
        const QStringList files = records(m_db);
        QCOMPARE(files.size(), 200);
        for (const QString& file : files)
            QVERIFY2(readRecord(QDir(m_db).filePath(file)).value("kind") == "message", qPrintable(file));
    }

    void fatalSignalLeavesACrashRecord_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("signal");
        QTest::addColumn<QString>("name");
        QTest::newRow("null pointer") << "segv" << SIGSEGV << "SIGSEGV";
        QTest::newRow("abort") << "abort" << SIGABRT << "SIGABRT";
        QTest::newRow("bus") << "bus" << SIGBUS << "SIGBUS";
        QTest::newRow("fpe") << "fpe" << SIGFPE << "SIGFPE";
        QTest::newRow("ill") << "ill" << SIGILL << "SIGILL";
        QTest::newRow("eight threads at once") << "threads" << SIGSEGV << "SIGSEGV";
    }

    void fatalSignalLeavesACrashRecord()
    {
        QFETCH(QString, how);
        QFETCH(int, signal);
        QFETCH(QString, name);
        QProcess child;
        child.start(ZQ_CRASH_CHILD, {m_db, how});
        QVERIFY(child.waitForFinished(60000));
        // The signal still ends the process after the record is written.
        QVERIFY2(child.exitStatus() == QProcess::CrashExit || child.exitCode() != 0,
                 qPrintable(QString::number(child.exitCode())));

        const QStringList files = records(m_db, "*-crash.json");
        QCOMPARE(files.size(), 1);
        QVERIFY(records(m_db, "*.tmp").isEmpty());
        const QJsonObject crash = readRecord(QDir(m_db).filePath(files.first()));
        QCOMPARE(crash.value("kind").toString(), QString("crash"));
        QCOMPARE(crash.value("signal").toInt(), signal);
        QCOMPARE(crash.value("signal_name").toString(), name);
        QCOMPARE(crash.value("release").toString(), QString("child-release"));
        QCOMPARE(crash.value("tags").toObject().value("revision").toString(), QString("abc123"));
        QCOMPARE(crash.value("user").toObject().value("email").toString(), QString("crash@example.com"));
        const QDateTime time = QDateTime::fromString(crash.value("timestamp").toString(), Qt::ISODate);
        QVERIFY(time.isValid());
        QVERIFY(qAbs(time.secsTo(QDateTime::currentDateTimeUtc())) < 3600);
    }

    void dsnParsing_data()
    {
        QTest::addColumn<QString>("dsn");
        QTest::addColumn<QString>("endpoint");
        QTest::addColumn<QString>("key");
        QTest::newRow("https") << "https://k3y@ingest.example.com/42"
                               << "https://ingest.example.com/api/42/reports"
                               << "k3y";
        QTest::newRow("http with port") << "http://k@127.0.0.1:8080/7"
                                        << "http://127.0.0.1:8080/api/7/reports"
                                        << "k";
        QTest::newRow("empty") << ""
                               << ""
                               << "";
        QTest::newRow("no key") << "https://ingest.example.com/42"
                                << ""
                                << "";
        QTest::newRow("no project") << "https://k@ingest.example.com/"
                                    << ""
                                    << "";
        QTest::newRow("nested path") << "https://k@ingest.example.com/a/42"
                                     << ""
                                     << "";
        QTest::newRow("other scheme") << "ftp://k@ingest.example.com/42"
                                      << ""
                                      << "";
        QTest::newRow("garbage") << "::not a dsn::"
                                 << ""
                                 << "";
    }

    void dsnParsing()
    {
        QFETCH(QString, dsn);
        QFETCH(QString, endpoint);
        QFETCH(QString, key);
        const auto parsed = crashreport::parseDsn(dsn);
        QCOMPARE(parsed.has_value(), !endpoint.isEmpty());
        if (parsed) {
            QCOMPARE(parsed->endpoint().toString(), endpoint);
            QCOMPARE(parsed->key, key);
        }
    }

    void nextStartSendsStoredRecordsAndRemovesOnlyAccepted()
    {
        // An earlier run without a DSN leaves three records and a damaged file.
        QVERIFY(initAt(m_db));
        capture("one");
        capture("two");
        capture("three");
        sentry_shutdown();
        const QStringList earlier = records(m_db);
        QCOMPARE(earlier.size(), 3);
        writeFile(QDir(m_db).filePath("0-damaged-event.json"), "{\"kind\":\"mess");

        FakeService service;
        service.enqueue("POST", "/api/42/reports", Reply::json(QJsonObject{{"id", "1"}}, 202));
        service.enqueue("POST", "/api/42/reports", Reply::text(500, "try later"));
        service.enqueue("POST", "/api/42/reports", Reply::json(QJsonObject{}, 200));
        const QByteArray dsn = "http://s3cret@127.0.0.1:" + QByteArray::number(service.port()) + "/42";
        QVERIFY(initAt(m_db, dsn));
        capture("made during this run"); // waits for the next start

        QTRY_COMPARE(service.requestCount(), 3);
        QTRY_COMPARE(records(m_db).size(), 2);
        sentry_shutdown();

        const auto requests = service.requests();
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(requests.at(i).header("x-report-key"), QByteArray("s3cret"));
            QCOMPARE(requests.at(i).header("content-type"), QByteArray("application/json"));
            QCOMPARE(requests.at(i).json().value("message").toString(),
                     QString(QStringList{"one", "two", "three"}[i]));
        }
        const QStringList left = records(m_db);
        QVERIFY(left.contains(earlier.at(1))); // refused, kept for the next start
        QVERIFY(!left.contains(earlier.at(0)) && !left.contains(earlier.at(2)));
        QCOMPARE(records(m_db, "*.invalid"), QStringList{"0-damaged-event.json.invalid"});
    }

    void shutdownEndsAnUploadThatGetsNoAnswer()
    {
        QVERIFY(initAt(m_db));
        capture("kept");
        sentry_shutdown();
        FakeService service;
        service.on("POST", "/api/9/reports", Reply::silence());
        QVERIFY(initAt(m_db, "http://k@127.0.0.1:" + QByteArray::number(service.port()) + "/9"));
        QTRY_COMPARE(service.requestCount(), 1);
        QCOMPARE(sentry_shutdown(), 0);
        QCOMPARE(records(m_db).size(), 1);
    }

    void unreachableEndpointKeepsEveryRecord()
    {
        QVERIFY(initAt(m_db));
        capture("kept");
        sentry_shutdown();
        quint16 port = 0;
        {
            FakeService closed; // a port nobody listens on once this is gone
            port = closed.port();
        }
        const crashreport::Dsn dsn = *crashreport::parseDsn(QString("http://k@127.0.0.1:%1/1").arg(port));
        std::atomic<bool> stop{false};
        const QStringList files{QDir(m_db).filePath(records(m_db).first())};
        QCOMPARE(crashreport::uploadRecords(dsn, files, stop, 2000), 0);
        QCOMPARE(records(m_db).size(), 1);
    }
};

ZQ_TEST_MAIN(TestCrashReport)
#include "test_crashreport.moc"
