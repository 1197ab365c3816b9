#include "core/Logger.h"

#include "core/paths.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QThread>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

// Held for the write of one line and for the Logger's construction and destruction, so that lines
// never interleave and a message on another thread never meets a Logger that is being destroyed.
// A QBasicMutex needs no construction, so it also serves during static teardown.
QBasicMutex g_mutex;
Logger* g_instance = nullptr;
std::atomic<QtMessageHandler> g_previousHandler{nullptr};

// Set while this thread is inside the handler: anything it raises there goes elsewhere.
thread_local bool t_inHandler = false;

constexpr int kCounterWrap = 999997;

// Converting to local time is the costly part of a line; each thread does it once a second. The cache
// is plain storage: a thread-local with a destructor could be gone while the thread's other
// thread-locals are destroyed, and their destructors may still log.
QByteArray currentDateTime()
{
    thread_local qint64 cachedSecond = -1;
    thread_local char cached[32];
    thread_local int cachedLength = 0;
    const qint64 second = QDateTime::currentMSecsSinceEpoch() / 1000;
    if (second != cachedSecond) {
        const QByteArray text = QDateTime::fromSecsSinceEpoch(second).toString(Qt::ISODate).toLatin1();
        cachedLength = qMin(text.size(), int(sizeof(cached)));
        std::memcpy(cached, text.constData(), size_t(cachedLength));
        cachedSecond = second;
    }
    // Read while the line is built, so the bytes need no copy of their own.
    return QByteArray::fromRawData(cached, cachedLength);
}

void forwardToPrevious(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (const QtMessageHandler previous = g_previousHandler.load())
        previous(type, context, message);
    else
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

// One line, ending in a plain newline as a terminal or a journal expects.
void writeLine(std::FILE* stream, const QByteArray& line)
{
    const int length = line.endsWith("\r\n") ? line.size() - 2 : line.size();
    std::fwrite(line.constData(), 1, size_t(length), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

char levelLetter(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return 'D';
    case QtWarningMsg:
        return 'W';
    case QtCriticalMsg:
        return 'C';
    case QtFatalMsg:
        return 'F';
    case QtInfoMsg:
        return 'I';
    }
    return '_';
}

} // namespace

Logger::Logger(const QString& prefix, int maxFiles) : m_prefix(prefix), m_maxFiles(qMax(1, maxFiles))
{
    {
        QMutexLocker locker(&g_mutex);
        g_instance = this;
    }
    m_previousHandler = qInstallMessageHandler(&Logger::messageHandler);
    g_previousHandler = m_previousHandler;
}

Logger::~Logger()
{
    qInstallMessageHandler(m_previousHandler);
    QMutexLocker locker(&g_mutex);
    g_instance = nullptr;
    m_file.reset();
}

void Logger::messageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (t_inHandler) {
        forwardToPrevious(type, context, message);
        return;
    }
    t_inHandler = true;
    // The line is built before taking the lock, so that threads only queue for the write itself.
    const QByteArray line = formatLine(
        currentDateTime(), reinterpret_cast<quintptr>(QThread::currentThreadId()), type, context, message);
    QMutexLocker locker(&g_mutex);
    if (g_instance) {
        g_instance->write(line);
    } else {
        locker.unlock();
        forwardToPrevious(type, context, message);
    }
    t_inHandler = false;
}

QByteArray Logger::formatLine(const QByteArray& dateTime, quintptr threadId, QtMsgType type,
                              const QMessageLogContext& context, const QString& message)
{
    const bool cut = message.size() > kMaxMessageLength;
    const QByteArray text =
        cut ? QStringView(message).left(kMaxMessageLength).toLocal8Bit() : message.toLocal8Bit();
    QByteArray line;
    line.reserve(dateTime.size() + text.size() + 48 + (context.file ? int(qstrlen(context.file)) + 16 : 0));
    line += '[';
    line += dateTime;
    line += "][";
    line += QByteArray::number(qulonglong(threadId));
    line += "][";
    line += levelLetter(type);
    line += "] ";
    line += text;
    if (cut)
        line += "...";
    if (context.file) {
        line += " (";
        line += QString::fromUtf8(context.file).toLocal8Bit();
        line += ':';
        line += QByteArray::number(context.line);
        line += ')';
    }
    line += "\r\n";
    return line;
}

int Logger::nextCounterAfter(const QString& fileName)
{
    const QString lastPiece = fileName.split(QLatin1Char('-')).last();
    const int counter = lastPiece.split(QLatin1Char('.')).first().toInt(nullptr, 10);
    return counter < 1 || counter == std::numeric_limits<int>::max() ? 1 : counter + 1;
}

void Logger::write(const QByteArray& line)
{
    if (!openLogFile()) {
        writeToStandardError(line);
        return;
    }
    m_writingToStandardError = false;
    m_file->write(line);
    if (m_file->pos() >= kMaxFileSize) {
        m_file.reset();
    } else {
        m_file->flush();
    }
}

void Logger::writeToStandardError(const QByteArray& line)
{
    // A folder that cannot be written, a full disk: the lines still go somewhere a user or the
    // desktop's journal can see. Said once for each run of failures.
    if (!m_writingToStandardError) {
        m_writingToStandardError = true;
        const QMessageLogContext context;
        const QString folder = utils::logsPath();
        writeLine(stderr,
                  formatLine(currentDateTime(), reinterpret_cast<quintptr>(QThread::currentThreadId()),
                             QtWarningMsg, context,
                             QStringLiteral("[Logger] No log file can be opened in \"%1\"; logging to "
                                            "standard error")
                                 .arg(folder)));
    }
    writeLine(stderr, line);
}

bool Logger::openLogFile()
{
    if (m_file && m_file->isOpen())
        return true;
    m_file.reset();

    const QString path = utils::logsPath();
    if (path.isEmpty())
        return false;
    QDir dir(path);
    if (!dir.exists() && !dir.mkpath(QStringLiteral(".")))
        return false;

    QStringList names =
        dir.entryList({m_prefix + QStringLiteral("-*.log")}, QDir::Files | QDir::NoSymLinks, QDir::Name);
    while (names.size() >= m_maxFiles) {
        dir.remove(names.first());
        names.removeFirst();
    }

    int counter = names.isEmpty() ? 1 : nextCounterAfter(names.last());
    const QString date = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    const auto nameFor = [&](int n) {
        return QStringLiteral("%1-%2-%3.log")
            .arg(m_prefix, date, QStringLiteral("%1").arg(n, 7, 10, QLatin1Char('0')));
    };
    QString name = nameFor(counter);
    while (dir.exists(name)) {
        counter = counter > kCounterWrap ? 1 : counter + 1;
        name = nameFor(counter);
    }

    auto file = std::make_unique<QFile>(dir.filePath(name));
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return false;
    m_file = std::move(file);
    return true;
}
