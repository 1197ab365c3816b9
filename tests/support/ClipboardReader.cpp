#include "support/ClipboardReader.h"

#include "support/TestEnvironment.h"

#include <QProcess>
#include <QTest>

namespace zq::test {

namespace {

constexpr int kReaderTimeoutMs = zq::test::kWaitMs;

QString readerProgram()
{
    return qEnvironmentVariable("ZQ_BINARY_DIR") + QStringLiteral("/tests/support/zq_clipboard_reader");
}

QByteArray runReader(const QString& argument)
{
    QProcess reader;
    reader.start(readerProgram(), {argument});
    if (!QTest::qWaitFor([&reader] { return reader.state() == QProcess::NotRunning; }, kReaderTimeoutMs)) {
        reader.kill();
        reader.waitForFinished();
        return QByteArray();
    }
    if (reader.exitStatus() != QProcess::NormalExit || reader.exitCode() != 0)
        return QByteArray();
    return reader.readAllStandardOutput();
}

} // namespace

QByteArray clipboardFromOtherClient(const QString& format)
{
    return runReader(format);
}

QStringList clipboardFormatsFromOtherClient()
{
    return QString::fromUtf8(runReader(QStringLiteral("--formats"))).split('\n', Qt::SkipEmptyParts);
}

OtherClientClipboard::OtherClientClipboard(const QString& text)
{
    m_holder.start(readerProgram(), {QStringLiteral("--hold"), text});
    m_held =
        QTest::qWaitFor([this] { return m_holder.state() == QProcess::NotRunning || m_holder.canReadLine(); },
                        kReaderTimeoutMs) &&
        m_holder.readLine().trimmed() == "held";
}

OtherClientClipboard::~OtherClientClipboard()
{
    m_holder.closeWriteChannel();
    if (!m_holder.waitForFinished(kReaderTimeoutMs)) {
        m_holder.kill();
        m_holder.waitForFinished();
    }
}

bool OtherClientClipboard::holds() const
{
    return m_held && m_holder.state() == QProcess::Running;
}

} // namespace zq::test
