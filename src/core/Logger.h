#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <memory>

class QFile;

// Writes every Qt message of the process, from any thread, as one line into dated, numbered log files
// in utils::logsPath(), or to standard error while no file can be opened there. A file is closed at
// 10 MiB; at most maxFiles files are kept. One instance at a
// time: it installs itself as the message handler and puts the previous one back when destroyed.
class Logger
{
public:
    static constexpr qint64 kMaxFileSize = 10 * 1024 * 1024;
    static constexpr int kMaxMessageLength = 500;

    Logger(const QString& prefix, int maxFiles);
    ~Logger();
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    static void messageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message);

    // The bytes written for one message: the text cut to its first 500 code units, in the local 8-bit
    // encoding, with header and ending.
    static QByteArray formatLine(const QByteArray& dateTime, quintptr threadId, QtMsgType type,
                                 const QMessageLogContext& context, const QString& message);
    // The number after which a new file continues: the counter of a log file name plus one, 1 for a
    // name that holds no number.
    static int nextCounterAfter(const QString& fileName);

private:
    // Both run under the process-wide log mutex.
    bool openLogFile();
    void write(const QByteArray& line);
    // Where a line goes when no log file can be opened.
    void writeToStandardError(const QByteArray& line);

    std::unique_ptr<QFile> m_file;
    QString m_prefix;
    int m_maxFiles;
    QtMessageHandler m_previousHandler = nullptr;
    bool m_writingToStandardError = false;
};
