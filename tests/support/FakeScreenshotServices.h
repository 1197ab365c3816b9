#pragma once

#include <QProcess>
#include <QStringList>

#include <memory>

namespace zq::test {

// The desktop's screenshot services (GNOME Shell's, KWin's, the portal) as a process of their own, answering
// as their script says (tests/support/screenshot_service). Start them on a private session bus, where
// nobody else owns their names. They leave when their stdin closes: with this object, or with the test if
// it dies.
class FakeScreenshotServices
{
public:
    // Once they own their names; null when they did not in time.
    static std::unique_ptr<FakeScreenshotServices> start(const QStringList& script);
    ~FakeScreenshotServices();

    // What they printed so far: ["ready"], then one compact JSON array per call.
    QStringList output();
    QStringList calls() { return output().mid(1); }

private:
    QProcess m_process;
    QStringList m_lines;
};

} // namespace zq::test
