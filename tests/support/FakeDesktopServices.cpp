#include "support/FakeDesktopServices.h"

#include "support/TestEnvironment.h"

#include <QTest>

namespace zq::test {

std::unique_ptr<FakeDesktopServices> FakeDesktopServices::screenshots(const QStringList& script)
{
    return start(QStringLiteral("zq_fake_screenshot_service"), script);
}

std::unique_ptr<FakeDesktopServices> FakeDesktopServices::notifier()
{
    return start(QStringLiteral("zq_fake_notifier"), QStringList());
}

std::unique_ptr<FakeDesktopServices> FakeDesktopServices::start(const QString& program,
                                                                const QStringList& arguments)
{
    std::unique_ptr<FakeDesktopServices> services(new FakeDesktopServices);
    services->m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    services->m_process.start(qEnvironmentVariable("ZQ_BINARY_DIR") + "/tests/support/" + program, arguments);
    const bool ready = QTest::qWaitFor([&] { return !services->output().isEmpty(); }, kWaitMs);
    return ready ? std::move(services) : nullptr;
}

FakeDesktopServices::~FakeDesktopServices()
{
    m_process.closeWriteChannel();
    m_process.waitForFinished();
}

QStringList FakeDesktopServices::output()
{
    m_process.waitForReadyRead(0);
    while (m_process.canReadLine())
        m_lines << QString::fromUtf8(m_process.readLine().trimmed());
    return m_lines;
}

} // namespace zq::test
