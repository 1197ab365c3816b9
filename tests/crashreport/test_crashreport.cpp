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

QByteArray idOf(const sentry_uuid_t& id)
{
    return QByteArray(reinterpret_cast<const char*>(id.bytes), 16);
}

QStringList records(const QString& folder, const QString& pattern = "*.json")
{
    return QDir(folder).entryList({pattern}, QDir::Files, QDir::Name);
}

QJsonObject readRecord(const QString& folder, const QString& name)
{
    QFile file(QDir(folder).filePath(name));
    QJsonParseError error{};
    const QJsonDocument document =
        QJsonDocument::fromJson(file.open(QIODevice::ReadOnly) ? file.readAll() : "", &error);
    return error.error == QJsonParseError::NoError ? document.object() : QJsonObject{{"unparsable", true}};
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
        QCOMPARE(idOf(capture("lost")), QByteArray(16, '\0'));
        QVERIFY(sentry_init(nullptr) != 0);
        QVERIFY(QFile(m_dir->filePath("file")).open(QIODevice::WriteOnly));
        QVERIFY(!initAt(m_dir->filePath("file/db"))); // a folder that cannot be made
        QVERIFY(initAt(m_db));
        QCOMPARE(sentry_shutdown(), 0);
        QCOMPARE(sentry_shutdown(), 0);
        QCOMPARE(idOf(capture("lost")), QByteArray(16, '\0'));
        QVERIFY(records(m_db).isEmpty());
    }

    void eventIsStoredWithReleaseTagsAndLastUser()
    {
        QVERIFY(initAt(m_db, QByteArray(), "Zorvane Qelt Linux App v03.00.0128"));
        sentry_set_tag("revision", "0123abcd");
        setUser("first@example.com");
        setUser("someone@example.com");
        // Bytes that are not UTF-8 still make a valid record.
        const sentry_uuid_t id = capture("Exception: \"quoted\"\n\\ %1 \xff\xfe \xc3 \x01");
        QJsonObject event = readRecord(m_db, records(m_db).value(0));
        QVERIFY(QDateTime::fromString(event.take("timestamp").toString(), Qt::ISODate).isValid());
        QCOMPARE(event.take("event_id").toString(), QUuid::fromRfc4122(idOf(id)).toString(QUuid::Id128));
        const QString text =
            QString::fromUtf8("Exception: \"quoted\"\n\\ %1 \xef\xbf\xbd\xef\xbf\xbd \xef\xbf\xbd \x01");
        QCOMPARE(event, (QJsonObject{{"kind", "message"},
                                     {"level", "error"},
                                     {"logger", "custom"},
                                     {"message", text},
                                     {"release", "Zorvane Qelt Linux App v03.00.0128"},
                                     {"tags", QJsonObject{{"revision", "0123abcd"}}},
                                     {"user", QJsonObject{{"ip_address", "{{auto}}"},
                                                          {"email", "someone@example.com"}}}}));
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
        QVERIFY(child.exitStatus() == QProcess::CrashExit || child.exitCode() != 0);
        const QStringList files = records(m_db, "*-crash.json");
        QCOMPARE(files.size(), 1);
        QVERIFY(records(m_db, "*.tmp").isEmpty());
        QJsonObject crash = readRecord(m_db, files.first());
        const QDateTime time = QDateTime::fromString(crash.take("timestamp").toString(), Qt::ISODate);
        QVERIFY(qAbs(time.secsTo(QDateTime::currentDateTimeUtc())) < 3600);
        QCOMPARE(crash, (QJsonObject{{"kind", "crash"},
                                     {"level", "fatal"},
                                     {"signal", signal},
                                     {"signal_name", name},
                                     {"release", "child-release"},
                                     {"tags", QJsonObject{{"revision", "abc123"}}},
                                     {"user", QJsonObject{{"email", "crash@example.com"}}}}));
    }

    void dsnParsing_data()
    {
        QTest::addColumn<QString>("dsn");
        QTest::addColumn<QString>("endpoint");
        QTest::newRow("https") << "https://k3y@ingest.example.com/42"
                               << "https://ingest.example.com/api/42/reports";
        QTest::newRow("http with port") << "http://k@127.0.0.1:8080/7"
                                        << "http://127.0.0.1:8080/api/7/reports";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("no key") << "https://ingest.example.com/42"
                                << "";
        QTest::newRow("no project") << "https://k@ingest.example.com/"
                                    << "";
        QTest::newRow("nested path") << "https://k@ingest.example.com/a/42"
                                     << "";
        QTest::newRow("other scheme") << "ftp://k@ingest.example.com/42"
                                      << "";
        QTest::newRow("garbage") << "::not a dsn::"
                                 << "";
    }

    void dsnParsing()
    {
        QFETCH(QString, dsn);
        QFETCH(QString, endpoint);
        const auto parsed = crashreport::parseDsn(dsn);
        QCOMPARE(parsed ? parsed->endpoint().toString() : QString(""), endpoint);
        QVERIFY(!parsed || dsn.contains("//" + parsed->key + "@"));
    }

    void nextStartSendsStoredRecordsAndRemovesOnlyAccepted()
    {
        // An earlier run without a DSN leaves three records and a damaged file.
        QVERIFY(initAt(m_db));
        for (const char* text : {"one", "two", "three"})
            capture(text);
        sentry_shutdown();
        const QStringList earlier = records(m_db);
        QFile damaged(QDir(m_db).filePath("0-damaged-event.json"));
        QVERIFY(damaged.open(QIODevice::WriteOnly) && damaged.write("{\"kind\":\"mess") > 0);
        damaged.close();

        FakeService service;
        service.enqueue("POST", "/api/42/reports", Reply::json(QJsonObject{{"id", "1"}}, 202));
        service.enqueue("POST", "/api/42/reports", Reply::text(500, "try later"));
        service.enqueue("POST", "/api/42/reports", Reply::json(QJsonObject{}, 200));
        QVERIFY(initAt(m_db, "http://s3cret@127.0.0.1:" + QByteArray::number(service.port()) + "/42"));
        capture("made during this run"); // waits for the next start
        QTRY_COMPARE(service.requestCount(), 3);
        QTRY_COMPARE(records(m_db).size(), 2);
        sentry_shutdown();

        for (int i = 0; i < 3; ++i) {
            const auto request = service.requests().at(i);
            QCOMPARE(request.header("x-report-key"), QByteArray("s3cret"));
            QCOMPARE(request.header("content-type"), QByteArray("application/json"));
            QCOMPARE(request.json().value("message").toString(),
                     QString(QStringList{"one", "two", "three"}[i]));
        }
        const QStringList left = records(m_db);
        QVERIFY(left.contains(earlier.at(1))); // refused, kept for the next start
        QVERIFY(!left.contains(earlier.at(0)) && !left.contains(earlier.at(2)));
        QCOMPARE(records(m_db, "*.invalid"), QStringList{"0-damaged-event.json.invalid"});
    }

    void silentOrClosedEndpointKeepsEveryRecord()
    {
        QVERIFY(initAt(m_db));
        capture("kept");
        sentry_shutdown();
        FakeService service;
        service.on("POST", "/api/9/reports", Reply::silence());
        QVERIFY(initAt(m_db, "http://k@127.0.0.1:" + QByteArray::number(service.port()) + "/9"));
        QTRY_COMPARE(service.requestCount(), 1);
        QCOMPARE(sentry_shutdown(), 0); // ends the upload that gets no answer
        QCOMPARE(records(m_db).size(), 1);

        quint16 port = 0;
        {
            FakeService closed; // a port nobody listens on once this is gone
            port = closed.port();
        }
        std::atomic<bool> stop{false};
        const auto dsn = *crashreport::parseDsn(QString("http://k@127.0.0.1:%1/1").arg(port));
        QCOMPARE(crashreport::uploadRecords(dsn, {QDir(m_db).filePath(records(m_db).first())}, stop, 2000),
                 0);
        QCOMPARE(records(m_db).size(), 1);
    }
};

ZQ_TEST_MAIN(TestCrashReport)
#include "test_crashreport.moc"
