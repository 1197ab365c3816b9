#include "support/FakeScreenshotServices.h"

#include "support/TestEnvironment.h"

#include <QTest>

namespace zq::test {

std::unique_ptr<FakeScreenshotServices> FakeScreenshotServices::start(const QStringList& script)
{
    auto services = std::make_unique<FakeScreenshotServices>();
    services->m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    services->m_process.start(
        qEnvironmentVariable("ZQ_BINARY_DIR") + "/tests/support/zq_fake_screenshot_service", script);
    const bool ready = QTest::qWaitFor([&] { return !services->output().isEmpty(); }, kWaitMs);
    return ready ? std::move(services) : nullptr;
}

FakeScreenshotServices::~FakeScreenshotServices()
{
    m_process.closeWriteChannel();
    m_process.waitForFinished();
}

QStringList FakeScreenshotServices::output()
{
    m_process.waitForReadyRead(0);
    while (m_process.canReadLine())
        m_lines << QString::fromUtf8(m_process.readLine().trimmed());
    return m_lines;
}

} // namespace zq::test
