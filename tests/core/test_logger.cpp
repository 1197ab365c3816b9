#include "core/Logger.h"
#include "core/paths.h"
#include "support/TestMain.h"

#include <QRegularExpression>
#include <QThread>

#include <memory>
#include <thread>
#include <vector>

namespace {

QStringList g_forwarded;
QMutex g_forwardedMutex;

void collect(QtMsgType, const QMessageLogContext&, const QString& text)
{
    QMutexLocker locker(&g_forwardedMutex);
    g_forwarded << text;
}

// Debug builds add the source location of the program's own messages.
const QString kLocation = QStringLiteral("( \\(\\S+:\\d+\\))?");

QString today()
{
    return QDate::currentDate().toString("yyyy-MM-dd");
}

QString counterName(const QString& date, int counter)
{
    return QStringLiteral("zorvane-%1-%2.log").arg(date).arg(counter, 7, 10, QLatin1Char('0'));
}

QStringList logFiles()
{
    return QDir(utils::logsPath()).entryList({"zorvane-*.log"}, QDir::Files | QDir::NoSymLinks, QDir::Name);
}

QByteArray readLog(const QString& name)
{
    QFile file(QDir(utils::logsPath()).filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void touch(const QString& name)
{
    QDir().mkpath(utils::logsPath());
    QFile file(QDir(utils::logsPath()).filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
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
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("expected");
        const QString head = "[2026-12-05T23:59:07][140][%1] ";
        QTest::newRow("fatal, no location")
            << int(QtFatalMsg) << "Failed to create path for state" << QByteArray() << 0
            << head.arg('F') + "Failed to create path for state\r\n";
        QTest::newRow("debug") << int(QtDebugMsg) << "x" << QByteArray() << 0 << head.arg('D') + "x\r\n";
        QTest::newRow("warning") << int(QtWarningMsg) << "x" << QByteArray() << 0 << head.arg('W') + "x\r\n";
        QTest::newRow("critical") << int(QtCriticalMsg) << "x" << QByteArray() << 0
                                  << head.arg('C') + "x\r\n";
        QTest::newRow("info") << int(QtInfoMsg) << "x" << QByteArray() << 0 << head.arg('I') + "x\r\n";
        QTest::newRow("unknown type") << 7 << "x" << QByteArray() << 0 << head.arg('_') + "x\r\n";
        QTest::newRow("empty") << int(QtInfoMsg) << "" << QByteArray() << 0 << head.arg('I') + "\r\n";
        QTest::newRow("500 whole") << int(QtInfoMsg) << QString(500, 'a') << QByteArray() << 0
                                   << head.arg('I') + QString(500, 'a') + "\r\n";
        QTest::newRow("501 cut") << int(QtInfoMsg) << QString(500, 'a') + 'b' << QByteArray() << 0
                                 << head.arg('I') + QString(500, 'a') + "...\r\n";
        QTest::newRow("markers unchanged") << int(QtInfoMsg) << "%1 %3 %2F" << QByteArray("a%1.cpp") << 7
                                           << head.arg('I') + "%1 %3 %2F (a%1.cpp:7)\r\n";
        QTest::newRow("line breaks kept")
            << int(QtInfoMsg) << "a\nb\r\nc" << QByteArray() << 0 << head.arg('I') + "a\nb\r\nc\r\n";
        QTest::newRow("file, line 0") << int(QtWarningMsg) << "m" << QByteArray("main.cpp") << 0
                                      << head.arg('W') + "m (main.cpp:0)\r\n";
    }

    void lineFormat()
    {
        QFETCH(int, type);
        QFETCH(QString, message);
        QFETCH(QByteArray, file);
        QFETCH(int, line);
        QFETCH(QString, expected);
        const QMessageLogContext context(file.isNull() ? nullptr : file.constData(), line, nullptr,
                                         "default");
        QCOMPARE(Logger::formatLine("2026-12-05T23:59:07", 140, QtMsgType(type), context, message),
                 expected.toLocal8Bit());
    }

    void writesOneLinePerMessageIntoTheFirstFile()
    {
        {
            Logger logger("zorvane", 14);
            QVERIFY(logFiles().isEmpty()); // nothing opened before the first message
            qInfo() << "[Test] hello";
            qWarning("%s", "second");
        }
        QCOMPARE(logFiles(), QStringList{counterName(today(), 1)});
        const QList<QByteArray> lines = readLog(logFiles().first()).split('\n');
        QCOMPARE(lines.size(), 3);
        const QString threadId = QString::number(reinterpret_cast<quintptr>(QThread::currentThreadId()));
        const QRegularExpression first("^\\[\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\]\\[" + threadId +
                                       "\\]\\[I\\] \\[Test\\] hello" + kLocation + "\r$");
        QVERIFY2(first.match(QString::fromLocal8Bit(lines.at(0))).hasMatch(), lines.at(0).constData());
        QVERIFY(QRegularExpression("\\[W\\] second" + kLocation + "\r$").match(lines.at(1)).hasMatch());
        QVERIFY(lines.at(2).isEmpty());
    }

    void messagesBeforeAndAfterGoToThePreviousHandler()
    {
        qInfo("before");
        {
            Logger logger("zorvane", 14);
            qInfo("during");
        }
        qInfo("after");
        QCOMPARE(g_forwarded, (QStringList{"before", "after"}));
        QVERIFY(readLog(logFiles().first()).contains("during"));
    }

    void counterContinuesFromTheNewestFile_data()
    {
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("expected");
        QTest::newRow("none") << QStringList() << counterName(today(), 1);
        QTest::newRow("older date") << QStringList{"zorvane-2026-12-03-0000002.log",
                                                   "zorvane-2026-12-04-0000013.log"}
                                    << counterName(today(), 14);
        QTest::newRow("stray name sorts last")
            << QStringList{"zorvane-2000-01-01-0000009.log", "zorvane-notes.log"} << counterName(today(), 1);
        QTest::newRow("existing names skipped")
            << QStringList{counterName(today(), 1), counterName(today(), 2), "zorvane-notes.log"}
            << counterName(today(), 3);
        QTest::newRow("wraps above 999997")
            << QStringList{counterName(today(), 999998), counterName("9999-12-31", 999997)}
            << counterName(today(), 1);
        QTest::newRow("largest number") << QStringList{"zorvane-2147483647.log"} << counterName(today(), 1);
        QTest::newRow("other prefix ignored")
            << QStringList{"other-2026-12-04-0000013.log"} << counterName(today(), 1);
    }

    void counterContinuesFromTheNewestFile()
    {
        QFETCH(QStringList, existing);
        QFETCH(QString, expected);
        for (const QString& name : existing)
            touch(name);
        {
            Logger logger("zorvane", 14);
            qInfo("x");
        }
        QVERIFY2(!readLog(expected).isEmpty(), qPrintable(logFiles().join(' ')));
    }

    void prunesOldestFilesLeavingMaxFiles()
    {
        QStringList existing;
        for (int i = 1; i <= 14; ++i)
            existing << counterName("2026-11-" + QString::number(10 + i), i);
        for (const QString& name : existing)
            touch(name);
        // A symbolic link named like a log file is neither counted nor deleted.
        QVERIFY(QFile::link(QDir(utils::logsPath()).filePath(existing.first()),
                            QDir(utils::logsPath()).filePath("zorvane-0000-00-00-0000000.log")));
        {
            Logger logger("zorvane", 14);
            qInfo("x");
        }
        QStringList expected = existing.mid(1);
        expected << counterName(today(), 15);
        QCOMPARE(logFiles(), expected);
        QVERIFY(QFileInfo(QDir(utils::logsPath()).filePath("zorvane-0000-00-00-0000000.log")).isSymLink());
    }

    void maxFilesBelowOneKeepsOneFile()
    {
        touch(counterName("2026-11-01", 1));
        touch(counterName("2026-11-02", 2));
        {
            Logger logger("zorvane", 0);
            qInfo("x");
        }
        QCOMPARE(logFiles(), QStringList{counterName(today(), 1)});
    }

    void rollsOverAtTenMebibytesWithTheCrossingLineWhole()
    {
        const QString message(Logger::kMaxMessageLength, 'm');
        {
            Logger logger("zorvane", 14);
            qInfo("%s", qPrintable(message));
            const QString first = QDir(utils::logsPath()).filePath(logFiles().first());
            const qint64 lineSize = QFileInfo(first).size();
            // Fill in batches that cannot reach the limit...
            for (qint64 left = Logger::kMaxFileSize - lineSize; left > 4 * lineSize;
                 left = Logger::kMaxFileSize - QFileInfo(first).size()) {
                for (qint64 i = left / lineSize - 2; i > 0; --i)
                    qInfo("%s", qPrintable(message));
            }
            // ...then step up to and over it one line at a time.
            while (logFiles().size() == 1)
                qInfo("%s", qPrintable(message));
        }
        const QStringList files = logFiles();
        QCOMPARE(files, (QStringList{counterName(today(), 1), counterName(today(), 2)}));
        const QByteArray full = readLog(files.at(0));
        QVERIFY(full.size() >= Logger::kMaxFileSize);
        QVERIFY(full.size() < Logger::kMaxFileSize + 600);
        QVERIFY(full.endsWith("\r\n"));
        QCOMPARE(full.count('\n'), full.count(message.toLatin1()));
        QCOMPARE(readLog(files.at(1)).count(message.toLatin1()), 1);
    }

    void uncreatableFolderDropsMessagesUntilItCanBeMade()
    {
        // A plain file where the logs folder should be.
        QDir().mkpath(QFileInfo(utils::logsPath()).absolutePath());
        QFile blocker(utils::logsPath());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        {
            Logger logger("zorvane", 14);
            qInfo("dropped");
            QVERIFY(blocker.remove());
            qInfo("kept");
        }
        const QByteArray content = readLog(logFiles().value(0));
        QVERIFY(content.contains("kept"));
        QVERIFY(!content.contains("dropped"));
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
        const QList<QByteArray> lines = readLog(logFiles().first()).split('\n');
        QCOMPARE(lines.size(), kThreads * kMessages + 1);
        const QRegularExpression whole(
            "^\\[[^\\]]+\\]\\[\\d+\\]\\[I\\] \\[Worker\\] thread (\\d) message (\\d+) x*" + kLocation +
            "\r$");
        QVector<int> perThread(kThreads, 0);
        for (int i = 0; i < lines.size() - 1; ++i) {
            const auto match = whole.match(QString::fromLatin1(lines.at(i)));
            QVERIFY2(match.hasMatch(), lines.at(i).constData());
            const int thread = match.captured(1).toInt();
            QCOMPARE(match.captured(2).toInt(), perThread[thread]++); // each thread's lines in its order
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
        const QByteArray content = readLog(logFiles().first());
        QVERIFY(content.contains("first words"));
        QVERIFY(content.contains("last words"));
    }

    void destructionWhileOtherThreadsLogIsSafe()
    {
        std::atomic<bool> stop{false};
        std::vector<std::unique_ptr<QThread>> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back(QThread::create([&stop] {
                while (!stop.load())
                    qDebug("[Worker] busy");
            }));
        }
        {
            auto logger = std::make_unique<Logger>("zorvane", 14);
            for (auto& thread : threads)
                thread->start();
            QTRY_VERIFY(readLog(logFiles().value(0)).count('\n') > 100);
            logger.reset();
        }
        stop = true;
        for (auto& thread : threads)
            QVERIFY(thread->wait(60000));
        const QByteArray content = readLog(logFiles().first());
        QVERIFY(content.endsWith("\r\n"));
    }
};

ZQ_TEST_MAIN(TestLogger)
#include "test_logger.moc"
