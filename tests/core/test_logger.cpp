#include "core/Logger.h"
#include "core/paths.h"
#include "support/ReadOnlyFolder.h"
#include "support/TestMain.h"

#include <QRegularExpression>
#include <QThread>

#include <memory>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Root needs it to make a folder read-only; made before any thread starts.
[[maybe_unused]] const bool kOwnMounts = zq::test::enterOwnMountNamespace();

// What this process writes to standard error while it lives, kept in a file instead.
class StandardErrorCapture
{
public:
    StandardErrorCapture()
    {
        std::fflush(stderr);
        m_saved = ::dup(STDERR_FILENO);
        m_file.open();
        ::dup2(m_file.handle(), STDERR_FILENO);
    }
    ~StandardErrorCapture() { restore(); }
    QByteArray take()
    {
        restore();
        m_file.seek(0);
        return m_file.readAll();
    }

private:
    void restore()
    {
        if (m_saved < 0)
            return;
        std::fflush(stderr);
        ::dup2(m_saved, STDERR_FILENO);
        ::close(m_saved);
        m_saved = -1;
    }
    QTemporaryFile m_file;
    int m_saved = -1;
};

QStringList g_forwarded;
QMutex g_forwardedMutex;

void collect(QtMsgType, const QMessageLogContext&, const QString& text)
{
    QMutexLocker locker(&g_forwardedMutex);
    g_forwarded << text;
}

// Debug builds add the source location of the program's own messages.
const QString kLocation = QStringLiteral("( \\(\\S+:\\d+\\))?");
const QString kLink = QStringLiteral("zorvane-0000-00-00-0000000.log");

QString logFile(const QString& name)
{
    return QDir(utils::logsPath()).filePath(name);
}

QString counterName(const QString& date, int counter)
{
    return QStringLiteral("zorvane-%1-%2.log").arg(date).arg(counter, 7, 10, QLatin1Char('0'));
}

QString today(int counter)
{
    return counterName(QDate::currentDate().toString("yyyy-MM-dd"), counter);
}

QStringList logFiles()
{
    return QDir(utils::logsPath()).entryList({"zorvane-*.log"}, QDir::Files | QDir::NoSymLinks, QDir::Name);
}

QByteArray readLog(const QString& name)
{
    QFile file(logFile(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestLogger : public QObject
{
    Q_OBJECT

    QtMessageHandler m_testHandler = nullptr;

private slots:
    void init()
    {
        QDir(utils::logsPath()).removeRecursively();
        g_forwarded.clear();
        // Anything forwarded past the logger lands here, not in QtTest's own handler.
        m_testHandler = qInstallMessageHandler(collect);
    }

    void cleanup() { qInstallMessageHandler(m_testHandler); }

    void lineFormat_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("expected");
        QTest::newRow("fatal") << int(QtFatalMsg) << "x" << QByteArray() << "F] x";
        QTest::newRow("info, empty") << int(QtInfoMsg) << "" << QByteArray() << "I] ";
        QTest::newRow("unknown type") << 7 << "x" << QByteArray() << "_] x";
        QTest::newRow("501 cut") << int(QtInfoMsg) << QString(500, 'a') + 'b' << QByteArray()
                                 << "I] " + QString(500, 'a') + "...";
        QTest::newRow("markers, location")
            << int(QtInfoMsg) << "%1 %2F" << QByteArray("a%1.cpp") << "I] %1 %2F (a%1.cpp:7)";
    }

    void lineFormat()
    {
        QFETCH(int, type);
        QFETCH(QString, message);
        QFETCH(QByteArray, file);
        QFETCH(QString, expected);
        const QMessageLogContext context(file.isNull() ? nullptr : file.constData(), 7, nullptr, "default");
        QCOMPARE(Logger::formatLine("2026-12-05T23:59:07", 140, QtMsgType(type), context, message),
                 ("[2026-12-05T23:59:07][140][" + expected + "\r\n").toLocal8Bit());
    }

    void writesLinesOnlyWhileItLives()
    {
        qInfo("before");
        {
            Logger logger("zorvane", 14);
            QVERIFY(logFiles().isEmpty()); // nothing opened before the first message
            qInfo() << "[Test] hello";
            qWarning("%s", "second");
        }
        qInfo("after");
        QCOMPARE(g_forwarded, (QStringList{"before", "after"}));
        QCOMPARE(logFiles(), QStringList{today(1)});
        const QList<QByteArray> lines = readLog(today(1)).split('\n');
        QCOMPARE(lines.size(), 3);
        const QString thread = QString::number(reinterpret_cast<quintptr>(QThread::currentThreadId()));
        QVERIFY2(QRegularExpression("^\\[\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\]\\[" + thread +
                                    "\\]\\[I\\] \\[Test\\] hello" + kLocation + "\r$")
                     .match(QString::fromLocal8Bit(lines.at(0)))
                     .hasMatch(),
                 lines.at(0).constData());
        QVERIFY(QRegularExpression("\\[W\\] second" + kLocation + "\r$").match(lines.at(1)).hasMatch());
    }

    void existingFilesDecideTheNameAndWhatIsPruned_data()
    {
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<int>("maxFiles");
        QTest::addColumn<QStringList>("expected");
        const QStringList older{"zorvane-2026-12-03-0000002.log", "zorvane-2026-12-04-0000013.log"};
        QTest::newRow("older date") << older << 14 << older + QStringList{today(14)};
        const QStringList stray{"zorvane-2000-01-01-0000009.log", "zorvane-notes.log"};
        QTest::newRow("stray name sorts last") << stray << 14 << stray + QStringList{today(1)};
        const QStringList taken{today(1), today(2), "zorvane-notes.log"};
        QTest::newRow("taken names skipped") << taken << 14 << taken + QStringList{today(3)};
        const QStringList wrap{today(999998), counterName("9999-12-31", 999997)};
        QTest::newRow("wraps above 999997") << wrap << 14 << wrap + QStringList{today(1)};
        QTest::newRow("largest number")
            << QStringList{"zorvane-2147483647.log"} << 14 << QStringList{"zorvane-2147483647.log", today(1)};
        QTest::newRow("other prefix")
            << QStringList{"other-2026-12-04-0000013.log"} << 14 << QStringList{today(1)};
        QStringList full;
        for (int i = 1; i <= 14; ++i)
            full << counterName("2026-11-" + QString::number(10 + i), i);
        QTest::newRow("oldest pruned") << full << 14 << QStringList(full.mid(1)) + QStringList{today(15)};
        QTest::newRow("below one keeps one") << QStringList(full.mid(0, 2)) << 0 << QStringList{today(1)};
    }

    void existingFilesDecideTheNameAndWhatIsPruned()
    {
        QFETCH(QStringList, existing);
        QFETCH(int, maxFiles);
        QFETCH(QStringList, expected);
        QDir().mkpath(utils::logsPath());
        for (const QString& name : existing)
            QVERIFY(QFile(logFile(name)).open(QIODevice::WriteOnly));
        // A symbolic link named like a log file is neither counted nor deleted.
        QVERIFY(QFile::link(QCoreApplication::applicationFilePath(), logFile(kLink)));
        {
            Logger logger("zorvane", maxFiles);
            qInfo("x");
        }
        expected.sort();
        QCOMPARE(logFiles(), expected);
        QVERIFY(QFileInfo(logFile(kLink)).isSymLink());
    }

    void rollsOverAtTenMebibytesWithTheCrossingLineWhole()
    {
        const QString message(Logger::kMaxMessageLength, 'm');
        {
            Logger logger("zorvane", 14);
            qInfo("%s", qPrintable(message));
            const qint64 lineSize = QFileInfo(logFile(today(1))).size();
            // Fill in batches that cannot reach the limit, then step over it one line at a time.
            for (qint64 left = Logger::kMaxFileSize - lineSize; left > 4 * lineSize;
                 left = Logger::kMaxFileSize - QFileInfo(logFile(today(1))).size()) {
                for (qint64 i = left / lineSize - 2; i > 0; --i)
                    qInfo("%s", qPrintable(message));
            }
            while (logFiles().size() == 1)
                qInfo("%s", qPrintable(message));
        }
        QCOMPARE(logFiles(), (QStringList{today(1), today(2)}));
        const QByteArray full = readLog(today(1));
        QVERIFY(full.size() >= Logger::kMaxFileSize && full.size() < Logger::kMaxFileSize + 600);
        QVERIFY(full.endsWith("\r\n"));
        QCOMPARE(full.count('\n'), full.count(message.toLatin1()));
        QCOMPARE(readLog(today(2)).count(message.toLatin1()), 1);
    }

    // A log file that cannot be opened sends the lines to standard error, and only there, until one can.
    void unopenableLogFileWritesToStandardError_data()
    {
        QTest::addColumn<QString>("blocked");
        QTest::newRow("a file in the folder's place") << "file";
        QTest::newRow("read-only data folder") << "read-only";
    }

    void unopenableLogFileWritesToStandardError()
    {
        QFETCH(QString, blocked);
        const QString logs = utils::logsPath();
        const QString data = QFileInfo(logs).absolutePath();
        QVERIFY(QDir().mkpath(blocked == "file" ? data : logs));
        QFile blocker(logs); // a plain file where the folder should be
        QVERIFY(blocked != "file" || blocker.open(QIODevice::WriteOnly));
        blocker.close();
        auto readOnly = blocked == "file" ? nullptr : std::make_unique<zq::test::ReadOnlyFolder>(data);
        if (readOnly && !readOnly->failure().isEmpty())
            QSKIP(qPrintable(readOnly->failure()));
        StandardErrorCapture captured;
        {
            Logger logger("zorvane", 14);
            qInfo("[Test] first");
            qWarning("[Test] second");
            readOnly.reset();
            QVERIFY(blocked != "file" || blocker.remove());
            qInfo("[Test] kept");
        }
        const QList<QByteArray> lines = captured.take().split('\n');
        QCOMPARE(lines.size(), 4);
        QVERIFY2(
            QRegularExpression("^\\[[^\\]]+\\]\\[\\d+\\]\\[W\\] \\[Logger\\] No log file can be opened in "
                               "\"" +
                               QRegularExpression::escape(logs) + "\"; logging to standard error$")
                .match(lines.at(0))
                .hasMatch(),
            lines.at(0).constData());
        QVERIFY2(
            QRegularExpression("\\[I\\] \\[Test\\] first" + kLocation + "$").match(lines.at(1)).hasMatch(),
            lines.at(1).constData());
        QVERIFY(
            QRegularExpression("\\[W\\] \\[Test\\] second" + kLocation + "$").match(lines.at(2)).hasMatch());
        QCOMPARE(lines.at(3), QByteArray());
        const QByteArray file = readLog(today(1));
        QVERIFY(file.contains("[Test] kept"));
        QVERIFY(!file.contains("first") && !file.contains("second"));
        QVERIFY(g_forwarded.isEmpty());
    }

    void eightThreadsWriteOnlyWholeLines()
    {
        constexpr int kThreads = 8;
        constexpr int kMessages = 500;
        {
            Logger logger("zorvane", 14);
            std::vector<std::unique_ptr<QThread>> threads;
            for (int t = 0; t < kThreads; ++t) {
                threads.emplace_back(QThread::create([t] {
                    for (int i = 0; i < kMessages; ++i)
                        qInfo("[Worker] thread %d message %d %s", t, i, QByteArray(i % 97, 'x').constData());
                }));
                threads.back()->start();
            }
            for (auto& thread : threads)
                QVERIFY(thread->wait(60000));
        }
        const QList<QByteArray> lines = readLog(today(1)).split('\n');
        QCOMPARE(lines.size(), kThreads * kMessages + 1);
        const QRegularExpression whole(
            "^\\[[^\\]]+\\]\\[\\d+\\]\\[I\\] \\[Worker\\] thread (\\d) message (\\d+) x*" + kLocation +
            "\r$");
        QVector<int> perThread(kThreads, 0);
        for (int i = 0; i < lines.size() - 1; ++i) {
            const auto match = whole.match(QString::fromLatin1(lines.at(i)));
            QVERIFY2(match.hasMatch(), lines.at(i).constData());
            QCOMPARE(match.captured(2).toInt(),
                     perThread[match.captured(1).toInt()]++); // in each thread's order
        }
    }

    void lastWordsOfAnEndingThreadAreWritten()
    {
        // Made before the thread's first message, so destroyed after whatever the logger keeps per thread.
        struct LogsOnExit
        {
            ~LogsOnExit() { qInfo("[Worker] last words"); }
        };
        {
            Logger logger("zorvane", 14);
            std::thread worker([] {
                thread_local LogsOnExit farewell;
                (void)farewell;
                qInfo("[Worker] first words");
            });
            worker.join();
        }
        QVERIFY(readLog(today(1)).contains("first words"));
        QVERIFY(readLog(today(1)).contains("last words"));
    }
};

ZQ_TEST_MAIN(TestLogger)
#include "test_logger.moc"
