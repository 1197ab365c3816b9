#include "support/ClipboardReader.h"

#include "support/TestEnvironment.h"

#include <QProcess>
#include <QTest>

namespace zq::test {

namespace {

constexpr int kReaderTimeoutMs = zq::test::kWaitMs;

QByteArray runReader(const QString& argument)
{
    QProcess reader;
    reader.start(qEnvironmentVariable("ZQ_BINARY_DIR") + QStringLiteral("/tests/support/zq_clipboard_reader"),
                 {argument});
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

} // namespace zq::test
